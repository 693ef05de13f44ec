#include "wine_prefix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace qd::e2e {

namespace fs = std::filesystem;

namespace {

fs::path TemplateDir() { return WorkDir() / "wine-template"; }
fs::path TemplateReadyMark() { return WorkDir() / "wine-template.ready"; }

// A template made by another Wine version would be upgraded at every start; remake it.
std::string WineVersion() {
  ProcessOptions options;
  options.argv = {Target().loader, "--version"};
  return Run(options, 30s).output;
}

// Debian's `wine` wrapper picks the 32-bit loader; the 64-bit one is named, and the programs
// it starts must find it again.
std::vector<std::pair<std::string, std::string>> LoaderEnvironment() {
  if (!Target().loader64) return {};
  return {{"WINELOADER", Target().loader}};
}

// The 64-bit loader sits at a fixed low address with no preloader to keep room for Windows;
// the kernel puts its heap anywhere in the gigabyte above it, so about one start in two
// thousand finds the shared user data page taken and dies. Without address randomization
// the heap starts right after the loader. The processes it starts inherit this.
std::vector<std::string> WineCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {Target().loader};
  if (Target().loader64) argv.insert(argv.begin(), {"setarch", "-R"});
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

std::string ReadFile(const fs::path& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "r")) {
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
  }
  return text;
}

// No Mono or Gecko install prompts, and no menu entries written into the user's home.
constexpr const char* kDllOverrides = "mscoree,mshtml,winemenubuilder.exe=";

void RunOrThrow(const std::vector<std::string>& argv, Clock::duration timeout,
                const std::vector<std::pair<std::string, std::string>>& env = {}) {
  ProcessOptions options;
  options.argv = argv;
  options.setEnv = env;
  const RunResult result = Run(options, timeout);
  if (!result.status || !result.status->exited || result.status->code != 0) {
    throw std::runtime_error(
        "command failed: " + argv.front() + " " + (argv.size() > 1 ? argv[1] : std::string()) +
        (result.status ? " (status " + std::to_string(result.status->code) + ")" : " (timed out)"));
  }
}

}  // namespace

const WineTarget& Target() {
  static const WineTarget target = [] {
    const char* arch = std::getenv("QD_WINE_ARCH");
    const std::string name = arch != nullptr ? arch : "";
    if (name.empty() || name == "x64") {
      return WineTarget{"x64", true, QD_E2E_WIN64_DIR, QD_E2E_WINE64_LOADER};
    }
    if (name == "wow64") return WineTarget{name, true, QD_E2E_WIN32_DIR, QD_E2E_WINE64_LOADER};
    if (name == "x86") return WineTarget{name, false, QD_E2E_WIN32_DIR, "wine"};
    throw std::invalid_argument("QD_WINE_ARCH=" + name + ": use x64, wow64, x86 or leave it unset");
  }();
  return target;
}

int WineMajorVersion() {
  static const int major = [] {
    const std::string version = WineVersion();
    const std::size_t at = version.find("wine-");
    return at == std::string::npos ? 0 : std::atoi(version.c_str() + at + 5);
  }();
  return major;
}

bool WineShows(WineLimit limit) {
  const int major = WineMajorVersion();
  const char* reason = nullptr;
  switch (limit) {
    case WineLimit::kTopMostOnBareX:
      if (major >= 10) reason = "asks a window manager for _NET_WM_STATE_ABOVE, and none runs";
      break;
    case WineLimit::kHideOnBareX:
      // It waits for a window manager to acknowledge the map before it unmaps the window.
      if (major >= 10) reason = "leaves a hidden window on the screen when no window manager runs";
      break;
    case WineLimit::kMonitorSwitchOff:
      if (major >= 10) reason = "refuses to detach a dummy-driver monitor (DISP_CHANGE_BADMODE)";
      break;
    case WineLimit::kAboveFullScreenUnderOpenbox:
      // Wine marks a borderless window over a whole monitor _NET_WM_STATE_FULLSCREEN, and
      // openbox stacks the one with the focus above every _NET_WM_STATE_ABOVE window: the
      // arrow's raise changes Windows' z-order, never X's.
      reason =
          "marks a full-screen window _NET_WM_STATE_FULLSCREEN, and openbox stacks it above "
          "every top-most one while it has the keyboard";
      break;
    case WineLimit::kLargerThanScreen:
      // A 4522 x 2261 window at -2601,-50 kept 2048 x 754 from its left edge, all off the
      // screen; a 1760 x 1110 one at 960,540 kept 1023 x 639.
      if (major >= 10) reason = "cuts short the X shape of a window larger than the screen";
      break;
  }
  if (reason == nullptr) return true;
  std::printf("Not shown under Wine %d: it %s\n", major, reason);
  std::fflush(stdout);
  return false;
}

fs::path WorkDir() {
  fs::path dir(QD_E2E_WORK_DIR);
  // The 32-bit loader's prefixes keep the folder they always had.
  if (Target().name != "x86") dir += "-" + Target().name;
  // The host's Wine keeps the folder it always had.
  if (const int major = WineMajorVersion(); major != 8) dir += "-wine" + std::to_string(major);
  return dir;
}

void WinePrefix::EnsureTemplate() {
  fs::create_directories(WorkDir());
  const std::string lockPath = (WorkDir() / "wine-template.lock").string();
  const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0 || flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + lockPath);
  try {
    const std::string version = WineVersion();
    if (version.empty()) throw std::runtime_error(Target().loader + " does not run");
    if (ReadFile(TemplateReadyMark()) != version) {
      fs::remove(TemplateReadyMark());
      fs::remove_all(TemplateDir());
      std::vector<std::pair<std::string, std::string>> env = {
          {"WINEPREFIX", TemplateDir().string()},
          {"WINEDEBUG", "-all"},
          {"WINEDLLOVERRIDES", kDllOverrides},
          {"DISPLAY", ""}};
      for (const auto& variable : LoaderEnvironment()) env.push_back(variable);
      RunOrThrow(WineCommand({"wineboot", "-i"}), 180s, env);
      // Until the server has exited, the registry may not be on disk yet.
      RunOrThrow({"wineserver", "-w"}, 60s, env);
      std::FILE* mark = std::fopen(TemplateReadyMark().c_str(), "w");
      if (mark == nullptr) throw std::runtime_error("cannot write the template mark");
      std::fwrite(version.data(), 1, version.size(), mark);
      std::fclose(mark);
    }
  } catch (...) {
    close(lock);
    throw;
  }
  close(lock);
}

void WinePrefix::RemoveStale() {
  if (!fs::exists(WorkDir())) return;
  for (const auto& entry : fs::directory_iterator(WorkDir())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("prefix-", 0) != 0) continue;
    const pid_t owner = static_cast<pid_t>(std::atol(name.c_str() + 7));
    if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) {
      WinePrefix::KillServerOf(entry.path());
      std::error_code ignored;
      fs::remove_all(entry.path(), ignored);
    }
  }
}

WinePrefix::WinePrefix() {
  EnsureTemplate();
  static std::atomic<int> counter{0};
  root_ = WorkDir() / ("prefix-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(root_);
  fs::create_directories(root_ / "drive_c");
  // The system folder (about a gigabyte of DLLs that Wine never writes) is hard-linked;
  // everything the program or Wine may write (registry, users, program folders) is copied.
  std::vector<std::string> copied = {"cp", "-a"};
  for (const auto& entry : fs::directory_iterator(TemplateDir())) {
    if (entry.path().filename() != "drive_c") copied.push_back(entry.path().string());
  }
  copied.push_back(root_.string());
  RunOrThrow(copied, 60s);
  std::vector<std::string> copiedC = {"cp", "-a"};
  for (const auto& entry : fs::directory_iterator(TemplateDir() / "drive_c")) {
    if (entry.path().filename() != "windows") copiedC.push_back(entry.path().string());
  }
  copiedC.push_back((root_ / "drive_c").string());
  RunOrThrow(copiedC, 60s);
  RunOrThrow({"cp", "-al", (TemplateDir() / "drive_c" / "windows").string(),
              (root_ / "drive_c").string()},
             60s);
}

WinePrefix::~WinePrefix() {
  KillServer();
  // Kept when asked for, to look at a failed run.
  if (std::getenv("QD_E2E_KEEP_PREFIXES") == nullptr) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
}

std::vector<std::pair<std::string, std::string>> WinePrefix::Environment(
    const std::string& display, const std::string& locale) const {
  // A failing run can be traced with Wine's own channels, e.g. QD_E2E_WINEDEBUG=+win.
  const char* trace = std::getenv("QD_E2E_WINEDEBUG");
  std::vector<std::pair<std::string, std::string>> env = {
      {"WINEPREFIX", root_.string()},
      {"WINEDEBUG", trace != nullptr && *trace != '\0' ? trace : "-all"},
      {"WINEDLLOVERRIDES", kDllOverrides},
      {"DISPLAY", display},
      {"LC_ALL", locale.empty() ? "en_US.UTF-8" : locale}};
  for (const auto& variable : LoaderEnvironment()) env.push_back(variable);
  return env;
}

Process WinePrefix::Start(const std::string& display, const std::vector<std::string>& wineArgs,
                          const std::string& locale) const {
  ProcessOptions options;
  options.argv = WineCommand(wineArgs);
  options.setEnv = Environment(display, locale);
  options.unsetEnv = {"WAYLAND_DISPLAY", "WINEARCH", "WINESERVER", "WINELOADER"};
  options.outputFile = LogFile().string();
  return Process(options);
}

RunResult WinePrefix::Run(const std::string& display, const std::vector<std::string>& wineArgs,
                          Clock::duration timeout) const {
  ProcessOptions options;
  options.argv = WineCommand(wineArgs);
  options.setEnv = Environment(display, {});
  options.unsetEnv = {"WAYLAND_DISPLAY", "WINEARCH", "WINESERVER", "WINELOADER"};
  options.outputFile = LogFile().string();
  return e2e::Run(options, timeout);
}

void WinePrefix::KillServer() const { KillServerOf(root_); }

fs::path WinePrefix::UnixPath(const std::string& windowsPath) const {
  if (windowsPath.size() < 2 || (windowsPath[0] != 'C' && windowsPath[0] != 'c') ||
      windowsPath[1] != ':') {
    throw std::invalid_argument("not on drive C: " + windowsPath);
  }
  std::string rest = windowsPath.substr(2);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return DriveC() / rest;
}

std::optional<std::string> WinePrefix::ReadBytes(const std::string& windowsPath) const {
  const fs::path path = UnixPath(windowsPath);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
}

void WinePrefix::WriteBytes(const std::string& windowsPath, const std::string& bytes) const {
  const fs::path path = UnixPath(windowsPath);
  fs::create_directories(path.parent_path());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path.string());
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path.string());
}

namespace {

// reg.exe under a UTF-8 Unix locale, which every glibc has: Wine converts the arguments
// with the Unix locale's character set, and without one it would drop every non-ASCII
// letter of a value.
RunResult RunReg(const WinePrefix& prefix, const std::vector<std::string>& args) {
  ProcessOptions options;
  options.argv = WineCommand({"reg"});
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.setEnv = prefix.Environment("", "C.UTF-8");
  options.unsetEnv = {"WAYLAND_DISPLAY", "WINEARCH", "WINESERVER", "WINELOADER"};
  options.outputFile = prefix.LogFile().string();
  return Run(options, 60s);
}

}  // namespace

std::optional<std::string> WinePrefix::UserRegistryText(const std::string& key,
                                                        const std::string& name) const {
  const RunResult result = RunReg(*this, {"query", "HKCU\\" + key, "/v", name});
  if (!result.status || !result.status->exited || result.status->code != 0) return std::nullopt;
  // "    <name>    REG_SZ    <text>"
  std::size_t start = 0;
  while (start < result.output.size()) {
    std::size_t end = result.output.find('\n', start);
    if (end == std::string::npos) end = result.output.size();
    std::string line = result.output.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string marker = "    " + name + "    REG_SZ    ";
    if (line.rfind(marker, 0) == 0) return line.substr(marker.size());
  }
  return std::nullopt;
}

RunResult WinePrefix::Reg(const std::vector<std::string>& args) const {
  return RunReg(*this, args);
}

bool WinePrefix::SetUserRegistryValue(const std::string& key, const std::string& name,
                                      const std::string& type, const std::string& data) const {
  const RunResult result =
      RunReg(*this, {"add", "HKCU\\" + key, "/v", name, "/t", type, "/d", data, "/f"});
  return result.status && result.status->exited && result.status->code == 0;
}

void WinePrefix::KillServerOf(const fs::path& root) {
  ProcessOptions options;
  options.setEnv = {{"WINEPREFIX", root.string()}};
  options.argv = {"wineserver", "-k"};
  e2e::Run(options, 30s);
  // -k only asks; the server may still be saving the registry into the prefix.
  options.argv = {"wineserver", "-w"};
  e2e::Run(options, 30s);
}

}  // namespace qd::e2e
