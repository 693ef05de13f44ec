// Child processes with a deadline: start, wait, kill. Every child dies with the test
// process (parent-death signal), so a test killed by its time-out leaves nothing behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qd::e2e {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct ExitStatus {
  bool exited = false;  // false: ended by a signal
  int code = 0;         // exit code, or the signal number
};

struct ProcessOptions {
  std::vector<std::string> argv;
  std::vector<std::pair<std::string, std::string>> setEnv;
  std::vector<std::string> unsetEnv;
  std::string outputFile;   // stdout and stderr are appended here; empty: /dev/null
  int inheritFd = -1;       // one extra descriptor the child keeps open
  bool captureStdout = false;
};

class Process {
 public:
  explicit Process(const ProcessOptions& options);
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  pid_t Pid() const { return pid_; }
  // Reaps the child if it ended within the timeout.
  std::optional<ExitStatus> WaitFor(Clock::duration timeout);
  bool Running();
  void Kill();
  // With captureStdout: everything the child wrote until it closed stdout or the timeout.
  std::string ReadStdout(Clock::duration timeout);

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::optional<ExitStatus> status_;
};

struct RunResult {
  std::optional<ExitStatus> status;  // empty: killed at the deadline
  std::string output;
};

// Runs to completion or to the deadline, capturing stdout.
RunResult Run(const ProcessOptions& options, Clock::duration timeout);

// The Windows process of a `wine` launch: the one in the launched process group whose
// command line names the exe. The started loader may exec into it, or, running a 32-bit exe
// through WoW64, become start.exe (its command line rewritten to "start.exe /exec <exe>")
// and start the exe as another process of the group, whose exit code it passes on: then the
// other process, once it runs (until then, the loader).
std::optional<pid_t> WindowsProcess(pid_t launched, const std::string& exeName);

struct MemoryUse {
  long residentKiB = 0;  // VmRSS
  long peakKiB = 0;      // VmHWM
  // The process's own memory, what Windows counts as private bytes: its anonymous pages,
  // resident or swapped out (RssAnon + VmSwap); no mapped file, no shared page.
  long privateKiB = 0;
};
std::optional<MemoryUse> Memory(pid_t pid);

// Waits until the descriptor has something to read or the deadline comes; false, without
// waiting, once the deadline has passed.
bool WaitReadable(int fd, Clock::time_point until);

// Only for the polling interval of WaitUntil and the like, never to wait for an outcome.
void PauseFor(Clock::duration interval);

// Polls the condition until it holds or the timeout passes; true if it held.
template <class Condition>
bool WaitUntil(Clock::duration timeout, Condition condition,
               Clock::duration interval = std::chrono::milliseconds(20)) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    PauseFor(interval);
  }
}

}  // namespace qd::e2e
