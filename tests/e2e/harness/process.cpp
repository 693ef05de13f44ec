#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qd::e2e {

namespace {

std::vector<std::string> ChildEnvironment(const ProcessOptions& options) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string item = *entry;
    const std::string name = item.substr(0, item.find('='));
    bool dropped = false;
    for (const auto& unset : options.unsetEnv) dropped |= name == unset;
    for (const auto& [key, value] : options.setEnv) dropped |= name == key;
    if (!dropped) env.push_back(item);
  }
  for (const auto& [key, value] : options.setEnv) env.push_back(key + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

void PauseFor(Clock::duration interval) { std::this_thread::sleep_for(interval); }

Process::Process(const ProcessOptions& options) {
  if (options.argv.empty()) throw std::invalid_argument("Process: empty argv");
  // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
  std::vector<std::string> args = options.argv;
  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> argPointers = Pointers(args);
  std::vector<char*> envPointers = Pointers(env);
  const int output = options.outputFile.empty()
                         ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                         : open(options.outputFile.c_str(),
                                O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (output < 0) throw std::runtime_error("Process: cannot open " + options.outputFile);
  int pipeFds[2] = {-1, -1};
  if (options.captureStdout && pipe2(pipeFds, O_CLOEXEC) != 0) {
    close(output);
    throw std::runtime_error("Process: pipe failed");
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    setpgid(0, 0);
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(options.captureStdout ? pipeFds[1] : output, 1);
    dup2(output, 2);
    if (options.inheritFd >= 0) fcntl(options.inheritFd, F_SETFD, 0);
    execvpe(argPointers[0], argPointers.data(), envPointers.data());
    _exit(127);
  }
  close(output);
  if (options.captureStdout) {
    close(pipeFds[1]);
    stdoutFd_ = pipeFds[0];
  }
  if (pid_ < 0) throw std::runtime_error("Process: fork failed");
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      stdoutFd_(std::exchange(other.stdoutFd_, -1)),
      status_(other.status_) {}

Process::~Process() {
  if (pid_ > 0 && !status_) {
    Kill();
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

std::optional<ExitStatus> Process::WaitFor(Clock::duration timeout) {
  if (status_ || pid_ <= 0) return status_;
  WaitUntil(timeout, [this] {
    int raw = 0;
    const pid_t result = waitpid(pid_, &raw, WNOHANG);
    if (result == pid_) {
      status_ = WIFEXITED(raw) ? ExitStatus{true, WEXITSTATUS(raw)}
                               : ExitStatus{false, WTERMSIG(raw)};
    } else if (result < 0 && errno == ECHILD) {
      status_ = ExitStatus{false, 0};
    }
    return status_.has_value();
  }, std::chrono::milliseconds(5));
  return status_;
}

bool Process::Running() { return !WaitFor(Clock::duration::zero()).has_value(); }

void Process::Kill() {
  if (pid_ <= 0 || status_) return;
  // The child leads its own process group; take anything it started along.
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  int raw = 0;
  waitpid(pid_, &raw, 0);
  status_ = ExitStatus{false, SIGKILL};
}

std::string Process::ReadStdout(Clock::duration timeout) {
  std::string text;
  if (stdoutFd_ < 0) return text;
  const auto deadline = Clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fd{stdoutFd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

RunResult Run(const ProcessOptions& options, Clock::duration timeout) {
  ProcessOptions capturing = options;
  capturing.captureStdout = true;
  const auto deadline = Clock::now() + timeout;
  Process process(capturing);
  RunResult result;
  result.output = process.ReadStdout(timeout);
  result.status = process.WaitFor(std::max(Clock::duration::zero(), deadline - Clock::now()));
  return result;
}

namespace {

std::string ReadProcText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool WaitReadable(int fd, Clock::time_point until) {
  const auto left = until - Clock::now();
  if (left <= Clock::duration::zero()) return false;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  pollfd watched{fd, POLLIN, 0};
  poll(&watched, 1, static_cast<int>(ms));
  return true;
}

std::optional<pid_t> WindowsProcess(pid_t launched, const std::string& exeName) {
  namespace fs = std::filesystem;
  std::optional<pid_t> found;
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc", ec); it != fs::directory_iterator();
       it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const auto pid = static_cast<pid_t>(std::atol(name.c_str()));
    if (getpgid(pid) != launched) continue;
    std::string cmdline = ReadProcText(it->path() / "cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    if (cmdline.find(exeName) == std::string::npos) continue;
    // start.exe, the launched process itself, names the exe too.
    if (pid != launched) return pid;
    found = pid;
  }
  return found;
}

std::optional<MemoryUse> Memory(pid_t pid) {
  std::istringstream status(ReadProcText("/proc/" + std::to_string(pid) + "/status"));
  MemoryUse use;
  bool found = false;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      use.residentKiB = std::atol(line.c_str() + 6);
      found = true;
    } else if (line.rfind("VmHWM:", 0) == 0) {
      use.peakKiB = std::atol(line.c_str() + 6);
    } else if (line.rfind("RssAnon:", 0) == 0) {
      use.privateKiB += std::atol(line.c_str() + 8);
    } else if (line.rfind("VmSwap:", 0) == 0) {
      use.privateKiB += std::atol(line.c_str() + 7);
    }
  }
  return found ? std::optional<MemoryUse>(use) : std::nullopt;
}

}  // namespace qd::e2e
