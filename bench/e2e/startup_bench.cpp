// Start-up time, idle cost and memory of Quiverdart.exe under Wine, each against
// baseline.exe (one top-most shaped window and nothing else) measured the same way in the
// same run. Prints figures and ratios; judges nothing.
//
//   startup_bench [--starts N] [--idle-seconds S]
//
// Start-up: from fork of `wine <exe>` to the X map of the program's first real window,
// median of N starts after one unmeasured warm-up start, in a prefix whose wineserver is
// kept running (as it is on a desktop where Wine already runs). The two programs' starts
// alternate, each going first in every other round, so that a drift in the machine's load
// weighs on both alike; the ratio's spread (a 95 % bootstrap interval over the rounds) says
// whether the run tells 5 % apart. Idle: a fresh start left
// untouched with the pointer parked in a corner; after S seconds the Windows process's
// utime+stime and VmHWM come from /proc, and the program's timer ticks from the probe.
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "session.h"

namespace qd::e2e {
namespace {

namespace fs = std::filesystem;

struct Options {
  int starts = 40;
  int idleSeconds = 10;
  // The arrow starts translucent (opacity index 18, alpha 192); the floor shows the same.
  std::string baselineAlpha = "192";
};

struct ProcessUse {
  double cpuSeconds = 0;  // utime + stime, in clock ticks of 10 ms
  double runNs = 0;       // the same from the scheduler's per-thread nanoseconds
  long peakKiB = 0;       // VmHWM
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<ProcessUse> Use(pid_t pid) {
  const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 2));
  std::vector<std::string> f;
  for (std::string field; fields >> field;) f.push_back(field);
  // After the name: state is field 3 of stat(5), utime 14 and stime 15.
  if (f.size() < 13) return std::nullopt;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  ProcessUse use;
  use.cpuSeconds = (std::stod(f[11]) + std::stod(f[12])) / ticks;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    use.runNs += std::atof(ReadText(task.path() / "schedstat").c_str());
  }
  if (const auto memory = Memory(pid)) use.peakKiB = memory->peakKiB;
  return use;
}

std::optional<Shown> WaitForNewMap(XScreen& x, std::size_t after, Clock::duration timeout) {
  std::optional<Shown> found;
  WaitUntil(
      timeout,
      [&] {
        const auto& history = x.History();
        for (std::size_t i = after; i < history.size(); ++i) {
          const Shown& s = history[i];
          if (s.mapEvent && (s.geometry.width > 1 || s.geometry.height > 1)) {
            found = s;
            return true;
          }
        }
        return false;
      },
      std::chrono::milliseconds(1));
  return found;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
  std::vector<double> startMs;
  // The Windows process's own CPU time up to the map (scheduler nanoseconds of its
  // threads): what the load of other programs on the machine changes least.
  std::vector<double> startCpuMs;
  std::optional<ProcessUse> idle;
  std::optional<ProbeCounts> countsAfterOneSecond;
  std::optional<ProbeCounts> counts;
  std::uintmax_t exeBytes = 0;
  std::set<std::string> imports;
};

std::set<std::string> ImportedDlls(const std::string& exe) {
  std::set<std::string> dlls;
  const std::string objdump =
      Target().Exe64() ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump";
  const std::string command = objdump + " -p '" + exe + "' 2>/dev/null";
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      const char* name = std::strstr(line, "DLL Name: ");
      if (name == nullptr) continue;
      std::string dll = name + 10;
      while (!dll.empty() && std::isspace(static_cast<unsigned char>(dll.back()))) dll.pop_back();
      std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
      dlls.insert(dll);
    }
    pclose(pipe);
  }
  return dlls;
}

void Stop(Process& program, pid_t windowsPid) {
  kill(windowsPid, SIGKILL);
  program.Kill();
}

struct Program {
  std::string exeName;
  std::vector<std::string> args;
  std::string path;  // inside the prefix
  Figures figures;
};

struct StartTimes {
  double ms = 0;
  double cpuMs = 0;
};

// Start to first map, in ms, and the CPU the process used meanwhile; nothing if no window
// showed.
std::optional<StartTimes> TimeOneStart(Session& s, Program& program) {
  const std::size_t before = s.X().History().size();
  const auto start = Clock::now();
  Process launched = s.Launch(program.path, program.args);
  const auto shown = WaitForNewMap(s.X(), before, kStartTimeout);
  const auto elapsed = Clock::now() - start;
  const auto pid = WindowsProcess(launched.Pid(), program.exeName);
  if (!shown || !pid) {
    std::fprintf(stderr, "%s did not show a window\n", program.exeName.c_str());
    return std::nullopt;
  }
  const std::optional<ProcessUse> use = Use(*pid);
  Stop(launched, *pid);
  s.X().WaitForUnmap(shown->window, 10s);
  return StartTimes{std::chrono::duration<double, std::milli>(elapsed).count(),
                    use ? use->runNs / 1e6 : 0};
}

void MeasureIdle(Session& s, Program& program, const Options& options) {
  const std::size_t before = s.X().History().size();
  const auto start = Clock::now();
  Process launched = s.Launch(program.path, program.args);
  const auto shown = WaitForNewMap(s.X(), before, kStartTimeout);
  const auto pid = WindowsProcess(launched.Pid(), program.exeName);
  if (!shown || !pid) return;
  // What start-up itself leaves running is over within a second.
  std::this_thread::sleep_until(start + std::chrono::seconds(1));
  program.figures.countsAfterOneSecond = s.WinProbe().Counts(program.exeName);
  std::this_thread::sleep_until(start + std::chrono::seconds(options.idleSeconds));
  program.figures.idle = Use(*pid);
  program.figures.counts = s.WinProbe().Counts(program.exeName);
  Stop(launched, *pid);
  s.X().WaitForUnmap(shown->window, 10s);
}

// Both programs in one prefix, their starts interleaved, so that whatever else the machine
// does weighs on both alike.
void Measure(Program& floor, Program& program, const Options& options) {
  Session s(1920, 1080);
  // Keep the server and Wine's own services up between starts, as on a desktop in use.
  ProcessOptions server;
  server.argv = {"wineserver", "-f", "-p"};
  server.setEnv = s.Prefix().Environment(s.Screen().Display(), {});
  Process persistent(server);
  // Untouched: the pointer far from the arrow, which starts at the screen centre.
  s.Input().MoveTo(5, 5);
  for (Program* p : {&floor, &program}) {
    p->path = s.Install(p->exeName == "Quiverdart.exe" ? ProgramPath() : HelperPath(p->exeName),
                        p->exeName);
    TimeOneStart(s, *p);  // the first start also brings up Wine's services
  }
  for (int i = 0; i < options.starts; ++i) {
    // A round counts only whole: the ratio's spread is taken over the rounds.
    Program* const first = i % 2 == 0 ? &floor : &program;
    Program* const second = first == &floor ? &program : &floor;
    const auto a = TimeOneStart(s, *first);
    const auto b = TimeOneStart(s, *second);
    if (a && b) {
      for (const auto& [who, times] : {std::pair{first, *a}, std::pair{second, *b}}) {
        who->figures.startMs.push_back(times.ms);
        who->figures.startCpuMs.push_back(times.cpuMs);
      }
    }
  }
  MeasureIdle(s, floor, options);
  MeasureIdle(s, program, options);
  s.Prefix().KillServer();
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const auto low = static_cast<std::size_t>(at);
  const std::size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

// Each round's two starts share the machine's load of the moment: their ratio cancels most
// of it.
std::vector<double> RoundRatios(const std::vector<double>& program,
                                const std::vector<double>& floor) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < std::min(program.size(), floor.size()); ++i) {
    if (floor[i] > 0) ratios.push_back(program[i] / floor[i]);
  }
  return ratios;
}

// The 2.5 % and 97.5 % points of the median of those ratios over rounds drawn again with
// replacement (fixed seed: two runs on the same figures print the same interval).
std::pair<double, double> MedianInterval(const std::vector<double>& values) {
  if (values.empty()) return {0, 0};
  std::mt19937 random(1);
  std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
  std::vector<double> medians;
  std::vector<double> drawn(values.size());
  for (int draw = 0; draw < 2000; ++draw) {
    for (double& value : drawn) value = values[pick(random)];
    medians.push_back(Median(drawn));
  }
  return {Quantile(medians, 0.025), Quantile(medians, 0.975)};
}

std::string Ratio(double value, double floor) {
  char text[32];
  if (floor <= 0) return "n/a";
  std::snprintf(text, sizeof text, "%.2f", value / floor);
  return text;
}

std::string Join(const std::set<std::string>& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : " ") + n;
  return text.empty() ? "-" : text;
}

int Main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--starts") == 0) options.starts = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--baseline-alpha") == 0) options.baselineAlpha = argv[i + 1];
    if (std::strcmp(argv[i], "--idle-seconds") == 0) {
      options.idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    }
  }
  WinePrefix::RemoveStale();
  Program baseline{"baseline.exe", {}, {}, {}};
  if (options.baselineAlpha != "none") baseline.args = {options.baselineAlpha};
  Program quiverdart{"Quiverdart.exe", {}, {}, {}};
  for (Program* p : {&baseline, &quiverdart}) {
    const std::string source = p == &quiverdart ? ProgramPath() : HelperPath(p->exeName);
    p->figures.exeBytes = fs::file_size(source);
    p->figures.imports = ImportedDlls(source);
  }
  Measure(baseline, quiverdart, options);
  const Figures& floor = baseline.figures;
  const Figures& program = quiverdart.figures;

  const double fs = Median(floor.startMs);
  const double ps = Median(program.startMs);
  std::printf("baseline.exe %s\n",
              baseline.args.empty() ? "opaque" : ("layered, alpha " + baseline.args[0]).c_str());
  std::printf("%-34s %14s %14s %8s  %s\n", "figure", "Quiverdart", "baseline", "ratio", "goal");
  std::printf("%-34s %14.1f %14.1f %8s  %s\n", "start to map, median ms", ps, fs,
              Ratio(ps, fs).c_str(), "<= 1.1");
  std::printf("%-34s %6.0f-%-7.0f %6.0f-%-7.0f\n", "  middle half (p25-p75), ms",
              Quantile(program.startMs, 0.25), Quantile(program.startMs, 0.75),
              Quantile(floor.startMs, 0.25), Quantile(floor.startMs, 0.75));
  const std::vector<double> rounds = RoundRatios(program.startMs, floor.startMs);
  const auto [low, high] = MedianInterval(rounds);
  std::printf("%-34s %14s %14s %8s  %s\n", "  ratio within rounds, median", "", "",
              Ratio(Median(rounds), 1).c_str(), "<= 1.1");
  std::printf("%-34s %14s %14s %8s  %s\n", "  its 95 % interval", "", "",
              (Ratio(low, 1) + "-" + Ratio(high, 1)).c_str(),
              high - low <= 0.1 ? "narrower than 10 %: tells 5 % apart"
                                : "wider than 10 %: more starts needed");
  const double pcpu = Median(program.startCpuMs);
  const double fcpu = Median(floor.startCpuMs);
  std::printf("%-34s %14.1f %14.1f %8s\n", "  CPU of the process to map, median ms", pcpu, fcpu,
              Ratio(pcpu, fcpu).c_str());
  std::printf("%-34s %14zu %14zu\n", "starts measured, alternating", program.startMs.size(),
              floor.startMs.size());
  const double pc = program.idle ? program.idle->cpuSeconds * 1000 : -1;
  const double fc = floor.idle ? floor.idle->cpuSeconds * 1000 : -1;
  char label[64];
  std::snprintf(label, sizeof label, "CPU first %d s untouched, ms", options.idleSeconds);
  std::printf("%-34s %14.0f %14.0f %8s  %s\n", label, pc, fc, Ratio(pc, fc).c_str(), "<= 1.2");
  const double pn = program.idle ? program.idle->runNs / 1e6 : -1;
  const double fn = floor.idle ? floor.idle->runNs / 1e6 : -1;
  std::printf("%-34s %14.1f %14.1f %8s  %s\n", "  the same from schedstat, ms", pn, fn,
              Ratio(pn, fn).c_str(), "<= 1.2");
  std::printf(
      "%-34s %14ld %14ld %8s  %s\n", "peak resident (VmHWM), KiB",
      program.idle ? program.idle->peakKiB : -1L, floor.idle ? floor.idle->peakKiB : -1L,
      Ratio(program.idle ? program.idle->peakKiB : 0, floor.idle ? floor.idle->peakKiB : 0).c_str(),
      "<= 1.2");
  std::snprintf(label, sizeof label, "timer ticks in those %d s", options.idleSeconds);
  std::printf("%-34s %14s %14s %8s  %s\n", label,
              program.counts ? std::to_string(program.counts->timerTicks).c_str() : "n/a", "-", "",
              "the start-up repaint only");
  if (program.counts && program.countsAfterOneSecond) {
    std::printf("%-34s %14lu %14s %8s  %s\n", "  of them after the first second",
                program.counts->timerTicks - program.countsAfterOneSecond->timerTicks, "-", "",
                "none");
  }
  if (program.counts) {
    std::printf("%-34s gdi %ld, user %ld, kernel %ld\n", "live objects when idle",
                program.counts->gdi, program.counts->user, program.counts->kernel);
  }
  std::printf(
      "%-34s %14ju %14ju %8s\n", "exe size, bytes", program.exeBytes, floor.exeBytes,
      Ratio(static_cast<double>(program.exeBytes), static_cast<double>(floor.exeBytes)).c_str());
  std::printf("%-34s %s\n", "imports, Quiverdart.exe", Join(program.imports).c_str());
  std::printf("%-34s %s\n", "imports, baseline.exe", Join(floor.imports).c_str());
  std::printf("start samples ms, Quiverdart:");
  for (double v : program.startMs) std::printf(" %.0f", v);
  std::printf("\nstart samples ms, baseline:  ");
  for (double v : floor.startMs) std::printf(" %.0f", v);
  std::printf("\n");
  return program.startMs.empty() || floor.startMs.empty() ? 1 : 0;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
