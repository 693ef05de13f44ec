// A presenter's day, at random from a seed: the shipped exe under Wine on two monitors (the
// laptop's 1920x1080, primary, and a 1280x720 projector to its right), driven at a human's
// pace with bursts through what a stage throws at it: drags within and across the monitors,
// wheel steps under every modifier, touchpad-sized wheel deltas, keys, the space bar, fades,
// colour picks, the menu and its boxes, minimise and restore, the hotkey, second starts, a
// stand-in slide show taking the foreground and going full screen, the projector unplugged
// and plugged in again and its scale changed, a posted suspend, smooth and sharp edges, and
// now and then a kill and a new start. After every episode it checks, waiting for each
// condition with a generous time-out and never judging time:
//   - the program runs, unless it was killed;
//   - the arrow is visible where the settings file says, answers a wheel step, and is above
//     a full-screen stand-in show that covers it;
//   - the settings file, read at every change the kernel reports in its folder, is always
//     one the program wrote, whole;
//   - a start after a kill shows what the file held;
//   - the program's own counts of GDI, USER and kernel objects and its private memory do not
//     grow after the warm-up.
// It prints a summary, and on a failure the seed and the last 50 actions.
//
//   e2e_soak [--minutes N] [--seed S]     (scripts/soak.sh builds and runs it)

// GoogleTest before Xlib, whose macros (None, Bool) break its templates; menu_steps.h
// answers with its assertion results.
#include <X11/keysym.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"
#include "menu_steps.h"

namespace qd::e2e {
namespace {

namespace fs = std::filesystem;

const Rect kLaptop{0, 0, 1920, 1080};
const Rect kProjector{1920, 0, 1280, 720};
const WinRect kProjectorPlace{1920, 0, 3200, 720};
constexpr char kProjectorDevice[] = "\\\\.\\DISPLAY2";
constexpr char kExe[] = "Quiverdart.exe";
// A start places the tip this far inside its monitor.
constexpr int kTipMargin = 32;
constexpr int kTopAlphaIndex = 22;
constexpr int kLowestStartAlphaIndex = 8;
// Larger arrows only shrink: they would mostly lie off the monitors, and a smooth one's
// picture would swamp the memory figures.
constexpr int kLargestSize = 14;
constexpr std::size_t kActionsKept = 50;
// The scales a start may find the projector at; the laptop is at 150 % (Wine 10 only: under
// Wine 8 every monitor has the one scale).
constexpr int kLaptopDpi = 144;
constexpr std::array<int, 4> kProjectorDpis = {96, 120, 144, 192};
// A stand-in show ends by itself after about two minutes: it is closed well before.
constexpr Clock::duration kShowLifetime = 45s;
// The waits of the checks: generous, for a loaded machine.
constexpr Clock::duration kSettle = 60s;

struct SoakFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::optional<long> Integer(const std::string& text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// What the settings file says.
struct Saved {
  int tipX = 0;
  int tipY = 0;
  int size = 4;
  int orientation = 0;
  long color = 255;
  int colorIndex = 0;
  int alphaIndex = kTopAlphaIndex;
  bool locked = false;
  bool escTerminates = true;
  std::string edges = "Sharp";  // [Display] Edges, the soak's; the program keeps it
  bool operator==(const Saved&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Saved& s) {
  return out << "tip " << s.tipX << "," << s.tipY << " size " << s.size << " orientation "
             << s.orientation << " colour " << s.color << " (index " << s.colorIndex
             << ") opacity index " << s.alphaIndex << (s.locked ? " locked" : "")
             << (s.escTerminates ? "" : " Esc off") << " edges " << s.edges;
}

constexpr std::array<const char*, 9> kPointerKeys = {
    "SettingsLocked", "EscTerminates", "TipPosX",    "TipPosY",        "Size",
    "Orientation",    "Color",         "ColorIndex", "AlphaBlendIndex"};

// The file as the soak writes it before a start: what the program writes, and [Display].
std::string SettingsText(const Saved& s) {
  const long values[] = {s.locked,      s.escTerminates, s.tipX,       s.tipY,      s.size,
                         s.orientation, s.color,         s.colorIndex, s.alphaIndex};
  std::string text = "[Display]\r\nEdges=" + s.edges + "\r\n\r\n[Pointer]\r\n";
  for (std::size_t i = 0; i < kPointerKeys.size(); ++i) {
    text += std::string(kPointerKeys[i]) + "=" + std::to_string(values[i]) + "\r\n";
  }
  text += "\r\n[Colors]\r\n";
  for (char slot = 'A'; slot <= 'P'; ++slot) text += std::string("Color") + slot + "=1FFFFFFF\r\n";
  return text;
}

// The file whole, as the program writes it: each line ends in CR LF, [Pointer] holds its nine
// keys with whole numbers, [Colors] its sixteen colours, [Display] the soak's Edges, and
// nothing else is there. A file cut short, empty, gone or written over in the middle is not;
// `why` then says what is wrong.
std::optional<Saved> WholeFile(const std::string& text, std::string& why) {
  if (text.empty()) {
    why = "empty";
    return std::nullopt;
  }
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    why = "cut off: its last line has no line end";
    return std::nullopt;
  }
  std::map<std::string, std::map<std::string, std::string>> sections;
  std::string section;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.find_first_of("\r\n") != std::string::npos) {
      why = "holding a line end without CR LF";
      return std::nullopt;
    }
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      if (!sections.emplace(section, std::map<std::string, std::string>{}).second) {
        why = "holding [" + section + "] twice";
        return std::nullopt;
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || section.empty() ||
        !sections[section].emplace(line.substr(0, equals), line.substr(equals + 1)).second) {
      why = "holding the line \"" + line + "\" where it does not belong";
      return std::nullopt;
    }
  }
  for (const auto& [name, keys] : sections) {
    if (name != "Pointer" && name != "Colors" && name != "Display") {
      why = "holding a section [" + name + "] no one wrote";
      return std::nullopt;
    }
  }
  const auto& pointer = sections["Pointer"];
  std::array<long, kPointerKeys.size()> values{};
  for (std::size_t i = 0; i < kPointerKeys.size(); ++i) {
    const auto at = pointer.find(kPointerKeys[i]);
    const auto value = at == pointer.end() ? std::nullopt : Integer(at->second);
    if (!value) {
      why = std::string("without a whole ") + kPointerKeys[i];
      return std::nullopt;
    }
    values[i] = *value;
  }
  const auto& colours = sections["Colors"];
  for (char slot = 'A'; slot <= 'P'; ++slot) {
    const auto at = colours.find(std::string("Color") + slot);
    if (at == colours.end() || at->second.empty()) {
      why = std::string("without custom colour ") + slot;
      return std::nullopt;
    }
  }
  if (pointer.size() != kPointerKeys.size() || colours.size() != 16) {
    why = "holding keys no one wrote";
    return std::nullopt;
  }
  const auto& display = sections["Display"];
  const auto edges = display.find("Edges");
  if (display.size() != 1 || edges == display.end() ||
      (edges->second != "Smooth" && edges->second != "Sharp")) {
    why = "without its [Display] Edges";
    return std::nullopt;
  }
  Saved s;
  s.locked = values[0] != 0;
  s.escTerminates = values[1] != 0;
  s.tipX = static_cast<int>(values[2]);
  s.tipY = static_cast<int>(values[3]);
  s.size = static_cast<int>(values[4]);
  s.orientation = static_cast<int>(values[5]);
  s.color = values[6];
  s.colorIndex = static_cast<int>(values[7]);
  s.alphaIndex = static_cast<int>(values[8]);
  s.edges = edges->second;
  return s;
}

// A file's text for a failure report: its control characters spelt out.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text.substr(0, 600)) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n\n   ";
    } else {
      out += c;
    }
  }
  return out + (text.size() > 600 ? "...\"" : "\"");
}

// Reads the settings file at every change the kernel reports in its folder, on a thread of
// its own, so that a file torn for even a moment is seen.
class FileWatch {
 public:
  explicit FileWatch(fs::path file) : file_(std::move(file)) {
    inotify_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify_ < 0 || inotify_add_watch(inotify_, file_.parent_path().c_str(), kChanges) < 0 ||
        pipe2(stop_, O_CLOEXEC) != 0) {
      throw SoakFailure("cannot watch " + file_.parent_path().string());
    }
    thread_ = std::thread([this] { Loop(); });
  }
  ~FileWatch() {
    [[maybe_unused]] const ssize_t written = write(stop_[1], "x", 1);
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
    close(inotify_);
  }
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  struct Tally {
    long reads = 0;
    std::size_t versions = 0;
    std::string failure;  // the first read that was not whole
  };
  Tally Now() const {
    const std::lock_guard lock(mutex_);
    return {reads_, versions_.size(), failure_};
  }

 private:
  static constexpr std::uint32_t kChanges =
      IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;

  void Loop() {
    for (;;) {
      pollfd watched[2] = {{inotify_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(watched, 2, -1) < 0) continue;
      if (watched[1].revents != 0) return;
      char events[4096];
      while (read(inotify_, events, sizeof events) > 0) {
      }
      ReadNow();
    }
  }

  void ReadNow() {
    std::ifstream in(file_, std::ios::binary);
    const std::string text = in ? std::string(std::istreambuf_iterator<char>(in), {}) : "";
    std::string why;
    const bool whole = in && WholeFile(text, why);
    const std::lock_guard lock(mutex_);
    ++reads_;
    versions_.insert(text);
    if (!whole && failure_.empty()) {
      failure_ = in ? "a read found the settings file " + why + ": " + Quoted(text)
                    : "a read found no settings file at all";
    }
  }

  fs::path file_;
  int inotify_ = -1;
  int stop_[2] = {-1, -1};
  std::thread thread_;
  mutable std::mutex mutex_;
  long reads_ = 0;
  std::set<std::string> versions_;
  std::string failure_;
};

// The first sign of a save in the settings file's folder (a file made, written or renamed
// there), watched from before the change that leads to it.
class SaveSpy {
 public:
  explicit SaveSpy(const fs::path& folder) {
    inotify_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify_ < 0 ||
        inotify_add_watch(inotify_, folder.c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO) < 0) {
      throw SoakFailure("cannot watch " + folder.string());
    }
  }
  ~SaveSpy() { close(inotify_); }
  SaveSpy(const SaveSpy&) = delete;
  SaveSpy& operator=(const SaveSpy&) = delete;
  bool Wait(Clock::duration timeout) {
    const auto until = Clock::now() + timeout;
    char events[4096];
    while (read(inotify_, events, sizeof events) <= 0) {
      if (!WaitReadable(inotify_, until)) return false;
    }
    return true;
  }

 private:
  int inotify_ = -1;
};

// The program's own figures at one moment.
struct Sample {
  double minutes = 0;
  int run = 0;                   // the start it came from
  std::array<long, 4> values{};  // GDI, USER, kernel objects, private KiB
};
constexpr std::array<const char*, 4> kFigures = {"GDI objects", "USER objects", "kernel objects",
                                                 "private KiB"};

// Least squares within each start (a new start begins anew), per hour.
double SlopePerHour(const std::vector<Sample>& samples, std::size_t figure) {
  std::map<int, std::pair<double, double>> means;  // run -> mean minutes, mean value
  std::map<int, int> counts;
  for (const Sample& s : samples) {
    means[s.run].first += s.minutes;
    means[s.run].second += static_cast<double>(s.values[figure]);
    ++counts[s.run];
  }
  for (auto& [run, mean] : means) {
    mean.first /= counts[run];
    mean.second /= counts[run];
  }
  double products = 0;
  double squares = 0;
  for (const Sample& s : samples) {
    const double dt = s.minutes - means[s.run].first;
    products += dt * (static_cast<double>(s.values[figure]) - means[s.run].second);
    squares += dt * dt;
  }
  return squares > 0 ? products / squares * 60 : 0;
}

double Median(std::vector<long> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? static_cast<double>(values[middle])
                                : (static_cast<double>(values[middle - 1]) + values[middle]) / 2;
}

Rect FromWin(const WinRect& r) {
  return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.Width()),
          static_cast<int>(r.Height())};
}

bool Overlap(const WinRect& a, const WinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

// What the probe sees of the program in one look.
struct Look {
  std::optional<ProbeWindow> arrow;
  std::optional<ProbeWindow> application;
  bool Visible() const {
    return arrow && arrow->visible && (!application || !application->minimized);
  }
};

// A stand-in slide show: a full-screen top-most window, of one of the kinds the probe has.
struct Show {
  SlideShow holder;
  WinRect place;
  Clock::time_point opened;
};

class Soak {
 public:
  Soak(double minutes, std::uint64_t seed)
      : minutes_(minutes), seed_(seed), random_(seed), wine_(WineMajorVersion()) {}

  int Run() {
    try {
      Day();
    } catch (const SoakFailure& failure) {
      Report(failure.what());
      return 1;
    } catch (const std::exception& error) {
      Report(std::string("the rig failed: ") + error.what());
      return 1;
    }
    return Verdict() ? 0 : 1;
  }

 private:
  // --- the day ---

  void Day() {
    perMonitorScales_ = wine_ >= 10;
    projectorDpi_ = perMonitorScales_ ? kProjectorDpis[Pick(0, 3)] : 96;
    Saved first;
    first.tipX = Pick(200, kLaptop.width - 200);
    first.tipY = Pick(200, kLaptop.height - 200);
    first.size = Pick(3, 9);
    first.orientation = Pick(0, 23);
    first.edges = Chance(50) ? "Smooth" : "Sharp";
    std::printf("soak: %s, %s under Wine %d%s; seed %llu, %.4g minutes\n", ProgramPath().c_str(),
                Target().name == "wow64" ? "the 32-bit exe" : "the exe", wine_,
                Target().name == "wow64" ? " in WoW64 mode" : "",
                static_cast<unsigned long long>(seed_), minutes_);
    std::fflush(stdout);
    began_ = Clock::now();
    Note("start: " + Describe(first) + ", projector at " + std::to_string(projectorDpi_) + " DPI");
    run_.emplace(std::vector<Rect>{kLaptop, kProjector}, SettingsText(first), [this](Session& s) {
      // A kept server, so that the monitors' scales stay and a new start finds Wine ready.
      if (!SetSessionDpi(s, perMonitorScales_ ? kLaptopDpi : 96, true) ||
          (perMonitorScales_ && !SetMonitorDpi(s, 1, projectorDpi_))) {
        throw SoakFailure("the monitors' scales could not be set");
      }
    });
    ++starts_;
    ++runs_;
    smooth_ = first.edges == "Smooth";
    (smooth_ ? smoothStarts_ : sharpStarts_)++;
    if (run_->Arrow() == 0) throw SoakFailure("no arrow at the first start");
    watch_.emplace(run_->SettingsFile());
    began_ = Clock::now();
    warmedUp_ = began_ + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(minutes_ * 60 * 0.25));
    ShowsWhatWasSaved(SettingsText(first), first);
    Check("the first start");

    const auto end = began_ + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(minutes_ * 60));
    auto progress = began_ + 60s;
    while (Clock::now() < end) {
      Episode();
      if (Clock::now() >= progress) {
        progress += 60s;
        Progress();
      }
    }
    Note("the end of the day: the show closed and the arrow closed the orderly way");
    CloseShow();
    CloseOrderly(run_->S().WinProbe().PostClose(Arrow().hwnd) ? "closed" : "");
  }

  // One thing a presenter does, chosen by weight, then the checks.
  void Episode() {
    if (show_ && Clock::now() - show_->opened > kShowLifetime) {
      Note("the show ends");
      CloseShow();
    }
    struct Kind {
      const char* name;
      int weight;
      void (Soak::*act)();
      bool onTheArrow;  // pressed, turned or typed into over the arrow
    };
    static const Kind kinds[] = {{"drag", 14, &Soak::Drag, true},
                                 {"wheel", 14, &Soak::Wheel, true},
                                 {"touchpad", 5, &Soak::Touchpad, true},
                                 {"keys", 8, &Soak::Keys, true},
                                 {"space", 3, &Soak::Space, true},
                                 {"fade", 5, &Soak::Fade, true},
                                 {"colour pick", 3, &Soak::ColourPick, true},
                                 {"menu", 11, &Soak::Menu, true},
                                 {"minimise and restore", 4, &Soak::MinimiseAndRestore, false},
                                 {"hotkey", 4, &Soak::HotKey, false},
                                 {"second start", 3, &Soak::SecondStart, false},
                                 {"slide show", 5, &Soak::SlideShowEpisode, false},
                                 {"projector plugged", 2, &Soak::Projector, false},
                                 {"projector scale", 2, &Soak::ProjectorScale, false},
                                 {"suspend", 3, &Soak::Suspend, false},
                                 {"kill and start", 3, &Soak::KillAndStart, false}};
    int total = 0;
    for (const Kind& kind : kinds) total += kind.weight;
    int chosen = Pick(0, total - 1);
    const Kind* kind = kinds;
    while (chosen >= kind->weight) chosen -= (kind++)->weight;
    expectedTip_.reset();
    if (kind->onTheArrow && wine_ < 10 && show_ && Overlap(show_->place, Arrow().rect) &&
        ArrowAboveTheShow() == false) {
      Note(std::string(kind->name) + " left out: the arrow under the show");
      ++leftOut_[std::string(kind->name) +
                 " over an arrow under a full-screen show (Wine 8 leaves the show above it)"];
    } else {
      ++episodes_[kind->name];
      ++episodeCount_;
      (this->*kind->act)();
    }
    Check(kind->name);
    PauseFor(std::chrono::milliseconds(Pick(100, 1500)));
  }

  // --- episodes ---

  void Drag() {
    const auto grips = Grips();
    const Point grip = grips[static_cast<std::size_t>(Pick(0, static_cast<int>(grips.size()) - 1))];
    // The tip lands well inside a monitor: across to the other one about half the time.
    const bool across = projectorOn_ && Chance(50);
    const Rect& from = OnProjector({known_.tipX, known_.tipY}) ? kProjector : kLaptop;
    const Rect& onto = across ? (&from == &kProjector ? kLaptop : kProjector) : from;
    const double startScale = scale_;
    Point to;
    Point tip;
    for (int attempt = 0; attempt < 20; ++attempt) {
      tip = {Pick(onto.x + 60, onto.x + onto.width - 60),
             Pick(onto.y + 60, onto.y + onto.height - 60)};
      // The grabbed point stays under the pointer, its distance to the tip drawn at the
      // scale of the monitor under the pointer.
      const double ratio = Scale(onto) / startScale;
      to = {tip.x - RoundHalfEven((known_.tipX - grip.x) * ratio),
            tip.y - RoundHalfEven((known_.tipY - grip.y) * ratio)};
      if (Inside(onto, to, 4)) break;
    }
    if (!Inside(onto, to, 4)) {
      to = {std::clamp(to.x, onto.x + 4, onto.x + onto.width - 5),
            std::clamp(to.y, onto.y + 4, onto.y + onto.height - 5)};
    }
    const bool burst = Chance(30);
    const unsigned held = Chance(15) ? (Chance(50) ? kShift : kCtrl) : kNoModifier;
    const int steps = burst ? Pick(3, 8) : Pick(15, 40);
    Note("drag " + std::string(across ? "across" : "within") + " from " + At(grip) + " to " +
         At(to) + " in " + std::to_string(steps) + " steps" + (burst ? ", quickly" : "") +
         (held == kShift  ? ", Shift held"
          : held == kCtrl ? ", Ctrl held"
                          : ""));
    if (across) ++dragsAcross_;
    XInput& in = run_->Input();
    in.MoveTo(grip.x, grip.y);
    PauseFor(std::chrono::milliseconds(Pick(150, 400)));
    in.Press(1, held);
    leftHeld_ = true;
    for (int step = 1; step <= steps; ++step) {
      in.MoveTo(grip.x + (to.x - grip.x) * step / steps, grip.y + (to.y - grip.y) * step / steps);
      PauseFor(std::chrono::milliseconds(burst ? Pick(0, 5) : Pick(10, 35)));
    }
    PauseFor(std::chrono::milliseconds(Pick(50, 300)));
    in.Release(1, held);
    leftHeld_ = false;
    // Where the pointer let go, the tip at its distance drawn for that monitor; the arrow
    // then takes the scale of the monitor its tip is on, the tip staying. With Ctrl held
    // the press drags nothing.
    const double ratio = Scale(onto) / startScale;
    expectedTip_ = held == kCtrl ? Point{known_.tipX, known_.tipY}
                                 : Point{to.x + RoundHalfEven((known_.tipX - grip.x) * ratio),
                                         to.y + RoundHalfEven((known_.tipY - grip.y) * ratio)};
  }

  void Wheel() {
    const Point at = AnyReachable();
    static const unsigned kModifiers[] = {kNoModifier, kNoModifier, kShift, kCtrl, kAlt};
    const unsigned modifiers = kModifiers[Pick(0, 4)];
    const bool burst = Chance(30);
    const int clicks = burst ? Pick(3, 12) : Pick(1, 3);
    int direction = Chance(50) ? 1 : -1;
    if (modifiers == kShift) direction = SizeDirection();
    if (modifiers == kAlt && known_.alphaIndex <= 4) direction = 1;
    Note("wheel " + Modifiers(modifiers) + (direction > 0 ? "up " : "down ") +
         std::to_string(clicks) + (clicks == 1 ? " step" : " steps") + " at " + At(at) +
         (burst ? ", quickly" : ""));
    run_->Input().MoveTo(at.x, at.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 300)));
    for (int i = 0; i < clicks; ++i) {
      run_->Input().Wheel(direction, modifiers);
      PauseFor(std::chrono::milliseconds(burst ? Pick(0, 30) : Pick(150, 700)));
    }
  }

  // A touchpad's two-finger swipe: many small deltas, posted as the system posts them.
  void Touchpad() {
    const int delta = (Chance(50) ? 1 : -1) * Pick(8, 60);
    const int times = Pick(2, 24);
    Note("touchpad swipe of " + std::to_string(times) + " deltas of " + std::to_string(delta));
    if (!run_->S().WinProbe().PostWheel(Arrow().hwnd, delta, times)) {
      throw SoakFailure("the touchpad's wheel messages could not be posted");
    }
  }

  void Keys() {
    const Point at = AnyReachable();
    if (!KeyboardToTheArrow(at)) return;
    const bool burst = Chance(30);
    const int count = burst ? Pick(4, 10) : Pick(1, 3);
    static const KeySym kCursorKeys[] = {XK_Left, XK_Right, XK_Up, XK_Down};
    static const unsigned kModifiers[] = {kNoModifier, kShift, kCtrl, kAlt};
    std::string keys;
    for (int i = 0; i < count; ++i) {
      KeySym key = kCursorKeys[Pick(0, 3)];
      unsigned modifiers = kModifiers[Pick(0, 3)];
      if (Chance(8)) {
        key = XK_F3;
        modifiers = kNoModifier;
      }
      // Shift with Right or Up grows the arrow, with Left or Down shrinks it.
      if (modifiers == kShift) key = SizeDirection() > 0 ? XK_Up : XK_Down;
      keys += std::string(i == 0 ? " " : ", ") + Modifiers(modifiers) + XKeysymToString(key);
      run_->Input().Key(key, modifiers);
      PauseFor(std::chrono::milliseconds(burst ? Pick(0, 40) : Pick(200, 800)));
    }
    Note("keys at " + At(at) + ":" + keys);
  }

  void Space() {
    const Point at = AnyReachable();
    if (!KeyboardToTheArrow(at)) return;
    const int presses = Pick(1, 3);
    Note("space bar " + std::to_string(presses) + "x at " + At(at));
    for (int i = 0; i < presses; ++i) {
      run_->Input().Key(XK_space);
      PauseFor(std::chrono::milliseconds(Pick(50, 600)));
    }
  }

  void Fade() {
    const Point at = AnyReachable();
    const bool twice = Chance(25);
    Note(std::string(twice ? "two middle clicks" : "middle click") + " at " + At(at));
    run_->Input().MoveTo(at.x, at.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 300)));
    run_->Input().Click(2);
    if (twice) {
      PauseFor(std::chrono::milliseconds(Pick(0, 800)));
      run_->Input().Click(2);
    }
  }

  void ColourPick() {
    const Point at = AnyReachable();
    Note("double-click at " + At(at));
    run_->Input().MoveTo(at.x, at.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 300)));
    run_->Input().DoubleClick(1);
  }

  void Menu() {
    const Point at = AnyReachable();
    // F1 and F2 open the boxes without the menu.
    if (Chance(20)) {
      const bool help = Chance(50);
      if (!KeyboardToTheArrow(at)) return;
      Note(std::string(help ? "F1" : "F2") + " at " + At(at));
      run_->Input().Key(help ? XK_F1 : XK_F2);
      if (help) {
        ++menuChoices_["help from F1"];
        CloseHelp();
      } else {
        ++menuChoices_["colour dialog from F2"];
        WorkColourDialog();
      }
      return;
    }
    Note("right click at " + At(at));
    const auto menu = OpenMenu(*run_, at.x, at.y);
    if (!menu) throw SoakFailure("the menu did not open");
    const bool colourOffered = !menu->items[1].grayed;
    const int choice = Pick(0, 99);
    if (choice < 30) {
      Note("the menu cancelled with Esc");
      ++menuChoices_["cancelled"];
      CancelMenu();
    } else if (choice < 45) {
      Note("Lock chosen");
      ++menuChoices_["lock"];
      Expect(Choose(*run_, *menu, 2), "the Lock item");
    } else if (choice < 55) {
      Note("the Esc item chosen");
      ++menuChoices_["Esc switch"];
      Expect(Choose(*run_, *menu, 3), "the Esc item");
    } else if (choice < 70) {
      Note("Help chosen");
      ++menuChoices_["help"];
      Expect(Choose(*run_, *menu, 0), "the Help item");
      CloseHelp();
    } else if (choice < 95 && colourOffered) {
      Note("Color chosen");
      Expect(Choose(*run_, *menu, 1), "the Color item");
      WorkColourDialog();
    } else if (choice < 95) {
      Note("the menu cancelled with Esc, Color being greyed");
      ++menuChoices_["cancelled"];
      CancelMenu();
    } else {
      Note("Exit chosen");
      ++menuChoices_["exit"];
      Expect(Choose(*run_, *menu, 4), "the Exit item");
      CloseOrderly("ended from the menu");
      StartAgain();
    }
  }

  // Esc closes the menu. Without a window manager the keyboard follows the pointer, and a
  // show that fought for the top may keep it from the menu (under a click-to-focus one the
  // menu gets it): then a right click beside the menu closes it, as a presenter would close
  // it too. Wine closes the menu at the press and may miss the release, and holds the
  // button down then: a second click there, with no menu to take it, comes up for Wine.
  void CancelMenu() {
    if (Dismiss(*run_)) return;
    ++leftOut_
        ["Esc to the menu, closed with a right click beside it instead (the keyboard "
         "stayed with a show, without a window manager)"];
    const WinRect arrow = Arrow().rect;
    const Point beside =
        Overlap(arrow, {0, 0, 200, 200}) ? Point{kLaptop.width - 20, 20} : Point{20, 20};
    Note("Esc did not reach the menu: a right click at " + At(beside));
    run_->Input().MoveTo(beside.x, beside.y);
    run_->Input().Click(3);
    if (!MenuClosed(*run_)) throw SoakFailure("the menu stayed open after a click beside it");
    const auto released = [&] {
      const auto down = run_->S().WinProbe().AnyButtonDown();
      return down && !*down;
    };
    if (WaitUntil(5s, released, 300ms)) return;
    Note("Wine holds the right button: clicked again at " + At(beside));
    run_->Input().Click(3);
    if (!WaitUntil(kSettle, released, 300ms)) {
      throw SoakFailure("Wine holds the right button down after a click beside the menu");
    }
  }

  void CloseHelp() {
    const auto dialog = OpenDialog(*run_);
    if (!dialog) throw SoakFailure("no help box opened");
    const auto button = std::find_if(dialog->children.begin(), dialog->children.end(),
                                     [](const ProbeChild& c) { return c.className == "Button"; });
    if (button == dialog->children.end()) throw SoakFailure("the help box has no button");
    // Under Wine 10 at 150 % the help is taller than the laptop's screen, its button off it:
    // then Enter, over what shows of the box.
    const Point middle{static_cast<int>(button->rect.left + button->rect.right) / 2,
                       static_cast<int>(button->rect.top + button->rect.bottom) / 2};
    if (OnAMonitor(middle, 2) && Chance(50)) {
      Note("the help box closed with its button");
      ClickAt(*run_, button->rect);
    } else {
      const Rect& monitor = OnProjector(middle) ? kProjector : kLaptop;
      const Point over{std::clamp(static_cast<int>(dialog->rect.left + dialog->rect.right) / 2,
                                  monitor.x, monitor.x + monitor.width - 1),
                       std::clamp(static_cast<int>(dialog->rect.top + dialog->rect.bottom) / 2,
                                  monitor.y, monitor.y + monitor.height - 1)};
      Note("the help box closed with Enter at " + At(over));
      run_->Input().MoveTo(over.x, over.y);
      // The box is Windows' foreground, which on Windows has the keys; without a window
      // manager X may keep its focus on a window a show made the foreground before (the
      // small one of a show that fights for the top), so the box's X window is given it.
      // A key sent before Wine has made the box the foreground is lost: pressed again.
      const auto boxOpen = [&] {
        for (const ProbeWindow& w : run_->S().WinProbe().Windows(kExe)) {
          if (w.className == "#32770" && w.visible) return true;
        }
        return false;
      };
      for (int press = 0; press < 3; ++press) {
        WaitUntil(
            kSettle,
            [&] {
              const auto foreground = run_->S().WinProbe().Foreground();
              return foreground && foreground->className == "#32770";
            },
            200ms);
        if (press > 0) Note("Enter again, the box still open");
        run_->Input().Focus(run_->X().UnderPointer());
        run_->Input().Key(XK_Return);
        run_->Input().Focus(PointerRoot);
        if (WaitUntil(
                5s, [&] { return !boxOpen(); }, 200ms))
          break;
      }
    }
    if (!NoDialog(*run_, dialog->rect)) throw SoakFailure("the help box stayed open");
  }

  void WorkColourDialog() {
    if (!OpenDialog(*run_)) throw SoakFailure("no colour dialog opened");
    if (Chance(40)) {
      Note("the colour dialog cancelled");
      ++menuChoices_["colour dialog cancelled"];
      Expect(PressDialogButton(*run_, kIdCancel), "the colour dialog's Cancel");
      return;
    }
    const int row = Pick(0, 5);
    const int column = Pick(0, 7);
    if (!PickSwatch(*run_, row, column)) throw SoakFailure("no swatch could be picked");
    Note("swatch " + std::to_string(row) + "," + std::to_string(column) + " accepted with OK");
    ++menuChoices_["colour dialog accepted"];
    Expect(PressDialogButton(*run_, kIdOk), "the colour dialog's OK");
  }

  void MinimiseAndRestore() {
    const Look look = LookNow();
    if (!look.application) throw SoakFailure("no task-bar window to minimise");
    Note("minimised from the task bar");
    if (!run_->S().WinProbe().PostMinimize(look.application->hwnd) ||
        !WaitUntil(
            kSettle, [&] { return !LookNow().Visible(); }, 300ms)) {
      throw SoakFailure("minimised, the arrow stayed visible");
    }
    PauseFor(std::chrono::milliseconds(Pick(300, 2000)));
    const int way = Pick(0, 9);
    if (way < 5) {
      Note("restored from the task bar");
      ++restores_["task bar"];
      run_->S().WinProbe().PostRestore(look.application->hwnd);
    } else if (way < 8) {
      ++restores_["hotkey"];
      PressHotKey();
    } else {
      ++restores_["second start"];
      StartSecond();
    }
  }

  void HotKey() { PressHotKey(); }

  void SecondStart() { StartSecond(); }

  // The slides program comes to the front, an ordinary window, and its show then goes full
  // screen, a top-most window of one of the probe's kinds, on a monitor; or the show ends.
  // The ordinary window goes when the show starts: without a window manager, Wine 10 leaves
  // a window mapped after the top-most arrow above it on X, which no Windows desktop does.
  void SlideShowEpisode() {
    if (show_ && Chance(40)) {
      Note("the show ends");
      CloseShow();
      return;
    }
    CloseShow();
    const bool onProjector = projectorOn_ && Chance(40);
    const Rect& monitor = onProjector ? kProjector : kLaptop;
    const std::string where = onProjector ? " on the projector" : " on the laptop";
    const WinRect place{monitor.x, monitor.y, monitor.x + monitor.width,
                        monitor.y + monitor.height};
    if (Chance(60)) {
      Note("the slides program comes to the front" + where);
      auto slides = run_->S().WinProbe().OpenSlideShow(
          {place.left + Pick(0, 200), place.top + Pick(0, 150), place.right - Pick(0, 200),
           place.bottom - Pick(0, 150)});
      if (!slides) throw SoakFailure("the stand-in slides did not open");
      PauseFor(std::chrono::milliseconds(Pick(300, 1500)));
    }
    const int kind = Pick(0, 9);
    const Probe::ShowKind showKind = kind < 4   ? Probe::ShowKind::TopMost
                                     : kind < 8 ? Probe::ShowKind::TopMostAgain
                                                : Probe::ShowKind::TopMostFights;
    static const char* const kKindNames[] = {"", "a full-screen show",
                                             "a full-screen show that keeps going on top",
                                             "a full-screen show that fights for the top"};
    const std::string name = kKindNames[static_cast<int>(showKind)];
    Note("the show starts: " + name + where);
    ++shows_[name];
    auto holder = run_->S().WinProbe().OpenSlideShow(place, showKind);
    if (!holder) throw SoakFailure("the stand-in show did not open");
    // A presenter waits for a show that fights for the top to settle: until then it goes
    // above the arrow again and again, and the checks' input would land on it.
    if (showKind == Probe::ShowKind::TopMostFights &&
        !WaitUntil(
            kSettle, [&] { return holder->FightOver(); }, 100ms)) {
      throw SoakFailure("the show never stopped fighting for the top");
    }
    show_.emplace(Show{std::move(*holder), place, Clock::now()});
  }

  void Projector() {
    if (!projectorOn_) {
      Note("the projector plugged in again");
      if (!run_->S().WinProbe().SwitchMonitorOn(kProjectorDevice, kProjectorPlace)) {
        throw SoakFailure("the projector could not be switched on");
      }
      projectorOn_ = true;
      // A display change gives every monitor the session's scale.
      projectorDpi_ = perMonitorScales_ ? kLaptopDpi : 96;
      return;
    }
    if (!projectorSwitchable_) {
      Note("the projector cannot be unplugged under this Wine: the episode left out");
      return;
    }
    // Windows moves a window of an unplugged monitor; the stand-in stays where it was.
    if (show_ && Overlap(show_->place, kProjectorPlace)) {
      Note("the show on the projector ends");
      CloseShow();
    }
    Note("the projector unplugged");
    const std::optional<bool> off = run_->S().WinProbe().SwitchMonitorOff(kProjectorDevice);
    if (!off) {
      projectorSwitchable_ = false;
      return;
    }
    if (!*off) throw SoakFailure("the projector could not be switched off");
    projectorOn_ = false;
  }

  // Wine 10 keeps each monitor's scale where new programs read it, and gives every monitor
  // the session's scale again at each display change: while the arrow runs, the projector's
  // scale changes to the laptop's when its mode is set again; to another, between two starts.
  void ProjectorScale() {
    if (!perMonitorScales_ || !projectorOn_) {
      Note("the projector's scale: not under this Wine, or the projector is unplugged");
      return;
    }
    if (projectorDpi_ != kLaptopDpi) {
      Note("the projector's mode set again: its scale from " + std::to_string(projectorDpi_) +
           " to " + std::to_string(kLaptopDpi) + " DPI while the arrow runs");
      ++scaleChanges_["while running"];
      if (!run_->S().WinProbe().SwitchMonitorOn(kProjectorDevice, kProjectorPlace)) {
        throw SoakFailure("the projector's mode could not be set");
      }
      projectorDpi_ = kLaptopDpi;
      return;
    }
    ++scaleChanges_["between two starts"];
    Note("the arrow closed from its menu to change the projector's scale");
    const Point at = AnyReachable();
    const auto menu = OpenMenu(*run_, at.x, at.y);
    if (!menu) throw SoakFailure("the menu did not open");
    Expect(Choose(*run_, *menu, 4), "the Exit item");
    CloseOrderly("ended from the menu");
    StartAgain(kProjectorDpis[static_cast<std::size_t>(Pick(0, 1))]);
  }

  void Suspend() {
    Note("suspend posted");
    if (!run_->S().WinProbe().PostSuspend(Arrow().hwnd)) {
      throw SoakFailure("the suspend message could not be posted");
    }
  }

  // The process killed (SIGKILL, as a crash or End task ends it) at rest, in the middle of
  // something, or as a save begins; then a new start.
  void KillAndStart() {
    const int when = Pick(0, 9);
    if (when < 3) {
      Note("killed at rest");
      ++kills_["at rest"];
      run_->Program().Kill();
    } else if (when < 6) {
      ++kills_["in the middle of something"];
      KillInTheMiddle();
    } else {
      ++kills_["as a save begins"];
      // A turn by a posted wheel message, saved a couple of seconds later.
      SaveSpy spy(run_->SettingsFile().parent_path());
      Note("a turn posted, then killed as its save begins");
      run_->S().WinProbe().PostWheel(Arrow().hwnd, 120, 1);
      if (!spy.Wait(kSettle)) throw SoakFailure("no save began after a turn");
      const auto spin = std::chrono::microseconds(Pick(0, 3000));
      for (const auto until = Clock::now() + spin; Clock::now() < until;) {
      }
      run_->Program().Kill();
    }
    if (leftHeld_) {
      LetGoOverAWineWindow(1, false);
    } else if (middleClicked_ && run_->S().WinProbe().AnyButtonDown() == true) {
      LetGoOverAWineWindow(2, true);
    }
    middleClicked_ = false;
    std::string why;
    const std::string text = ReadText(run_->SettingsFile());
    const auto saved = WholeFile(text, why);
    if (!saved)
      throw SoakFailure("after the kill the settings file is " + why + ": " + Quoted(text));
    StartAgain();
  }

  // Killed mid-drag, the arrow leaves the button held: it must come up over a window of
  // Wine's (the slides beneath), or Wine holds it down for the next start, whose arrow would
  // then take a move for a drag with no press. Killed in a fade before it read the middle
  // button's release, the arrow leaves Wine holding that button, which X has let go: a click
  // over a window of Wine's lets it go there. (Windows keeps the buttons' state itself.)
  void LetGoOverAWineWindow(unsigned button, bool click) {
    // Until the killed arrow's X connection is gone its press holds the pointer, and the
    // release would go to it.
    if (!WaitUntil(kSettle, [&] {
          const auto mapped = run_->X().MappedWindows();
          return std::none_of(mapped.begin(), mapped.end(),
                              [](const MappedWindow& w) { return w.name == "FormMain"; });
        })) {
      throw SoakFailure("the killed arrow's window stays on X");
    }
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    ::Display* display = run_->X().Connection();
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    const WinRect pointer{x, y, x + 1, y + 1};
    const bool beneath = show_ && Overlap(show_->place, pointer);
    std::optional<SlideShow> slides =
        beneath ? std::nullopt
                : run_->S().WinProbe().OpenSlideShow({x - 150, y - 150, x + 150, y + 150});
    if (!beneath && !slides) throw SoakFailure("the stand-in slides did not open");
    Note("the button let go over the slides beneath");
    if (click) {
      run_->Input().Click(button);
    } else {
      run_->Input().Release(button);
    }
    leftHeld_ = false;
    if (!WaitUntil(
            kSettle,
            [&] {
              const auto down = run_->S().WinProbe().AnyButtonDown();
              return down && !*down;
            },
            300ms)) {
      throw SoakFailure("Wine holds a button down after its release");
    }
    if (slides) slides->Release();
  }

  void KillInTheMiddle() {
    const Point at = AnyReachable();
    XInput& in = run_->Input();
    const int what = Pick(0, 3);
    if (what == 0) {
      Note("killed in the middle of a drag from " + At(at));
      in.MoveTo(at.x, at.y);
      PauseFor(200ms);
      in.Press(1);
      leftHeld_ = true;
      for (int step = 1; step <= Pick(1, 10); ++step) {
        in.MoveTo(at.x + step * 7, at.y + step * 3);
        PauseFor(20ms);
      }
    } else if (what == 1) {
      Note("killed during a fade from " + At(at));
      in.MoveTo(at.x, at.y);
      PauseFor(200ms);
      in.Click(2);
      middleClicked_ = true;
      PauseFor(std::chrono::milliseconds(Pick(0, 1000)));
    } else if (what == 2) {
      Note("killed with the menu open at " + At(at));
      if (!OpenMenu(*run_, at.x, at.y)) throw SoakFailure("the menu did not open");
    } else {
      Note("killed with the help box open, from the menu at " + At(at));
      const auto menu = OpenMenu(*run_, at.x, at.y);
      if (!menu) throw SoakFailure("the menu did not open");
      Expect(Choose(*run_, *menu, 0), "the Help item");
      if (!OpenDialog(*run_)) throw SoakFailure("no help box opened");
    }
    run_->Program().Kill();
  }

  // --- the pieces of the episodes ---

  // Keys go to the window with the keyboard: a plain click gives it to the arrow (under Wine
  // once the double-click time is over), as a presenter gives it. False where no window had
  // it: without a window manager, the keyboard follows the pointer, and Wine 10 then leaves
  // Windows with no foreground window after a smooth fade (with a click-to-focus one, the
  // slides keep it and the click hands it over).
  bool KeyboardToTheArrow(Point at) {
    const auto foreground = [&] {
      const auto window = run_->S().WinProbe().Foreground();
      return window ? window->className : std::string("?");
    };
    run_->Input().MoveTo(at.x, at.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 300)));
    const std::string before = foreground();
    if (before == "TFormMain") return true;
    if (perMonitorScales_ && OnProjector(at) && projectorDpi_ != kLaptopDpi) {
      Note("the keys left out: the arrow is on the projector at another scale");
      ++leftOut_
          ["keys on a monitor of another scale than the laptop's (Wine 10's "
           "WindowFromPoint finds no window there, so a plain click hands the keyboard "
           "to no one)"];
      return false;
    }
    Note("a plain click at " + At(at) + " for the keyboard");
    run_->Input().Click(1);
    if (WaitUntil(
            before.empty() ? 20s : kSettle, [&] { return foreground() == "TFormMain"; }, 300ms)) {
      ++checks_["a plain click gives the arrow the keyboard"];
      return true;
    }
    if (!before.empty()) {
      throw SoakFailure("a plain click at " + At(at) + " did not give the arrow the keyboard");
    }
    Note("no window had the keyboard, nor has the arrow now: the keys left out");
    ++leftOut_
        ["keys where no window had the keyboard (Wine 10 without a window manager, "
         "after a smooth fade)"];
    return false;
  }

  // Ctrl+Alt+F8 with the pointer somewhere on a monitor. Wine passes a hotkey on only while
  // one of its windows has the X keyboard: the arrow's, or the show's.
  void PressHotKey() {
    const Point target = SomewhereOnAMonitor();
    // The keys go where the presenter works: the slides if they are open, else the arrow if
    // Windows shows it: Wine 10 left a minimised arrow's X window mapped, and the hotkey
    // typed into it restored nothing.
    Window focus = 0;
    Window arrow = 0;
    for (const MappedWindow& w : run_->X().MappedWindows()) {
      if (w.name == "Slides" && focus == 0) focus = w.window;
      if (w.name == "FormMain") arrow = w.window;
    }
    if (focus == 0 && LookNow().Visible()) focus = arrow;
    // Minimised, the arrow has no window to type into: the presenter works in the slides.
    if (focus == 0) Note("slides opened to work in, the arrow being away");
    std::optional<SlideShow> helper =
        focus == 0 ? run_->S().WinProbe().OpenSlideShow({100, 100, 900, 700}) : std::nullopt;
    if (focus == 0) {
      if (!helper) throw SoakFailure("the stand-in slides did not open");
      WaitUntil(kSettle, [&] {
        for (const MappedWindow& w : run_->X().MappedWindows()) {
          if (w.name == "Slides") focus = w.window;
        }
        return focus != 0;
      });
    }
    Note("Ctrl+Alt+F8 with the pointer at " + At(target));
    run_->Input().Focus(focus);
    run_->Input().MoveTo(target.x, target.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 400)));
    run_->Input().Key(XK_F8, kCtrl | kAlt);
    run_->Input().Focus(PointerRoot);
    expectedTip_ = target;
    if (helper) {
      // The arrow is there before the slides go.
      WaitUntil(
          kSettle, [&] { return LookNow().Visible(); }, 300ms);
      helper->Release();
    }
  }

  // The program started again while it runs: the running arrow comes to the pointer, and
  // the new start ends.
  void StartSecond() {
    const Point target = SomewhereOnAMonitor();
    Note("started a second time with the pointer at " + At(target));
    run_->Input().MoveTo(target.x, target.y);
    PauseFor(std::chrono::milliseconds(Pick(100, 400)));
    Process second = run_->S().Launch(run_->ExePath());
    const auto ended = second.WaitFor(kSettle);
    if (!ended) throw SoakFailure("the second start did not end");
    if (!ended->exited || ended->code != 0) {
      throw SoakFailure("the second start ended with " +
                        std::string(ended->exited ? "code " : "signal ") +
                        std::to_string(ended->code));
    }
    expectedTip_ = target;
  }

  void CloseShow() {
    if (!show_) return;
    show_->holder.Release();
    show_.reset();
  }

  // The program asked to end (`how`: already done), or asked here: it must end with code 0,
  // leaving the file whole and holding what the arrow showed.
  void CloseOrderly(const std::string& how) {
    if (how.empty() && !run_->S().WinProbe().PostClose(Arrow().hwnd)) {
      throw SoakFailure("the arrow could not be asked to close");
    }
    const auto status = run_->Program().WaitFor(kSettle);
    if (!status) throw SoakFailure("asked to end, the program did not");
    if (!status->exited || status->code != 0) {
      throw SoakFailure("the program ended with " +
                        std::string(status->exited ? "code " : "signal ") +
                        std::to_string(status->code));
    }
    ++exits_;
    std::string why;
    const std::string text = ReadText(run_->SettingsFile());
    const auto saved = WholeFile(text, why);
    if (!saved)
      throw SoakFailure("after the program ended its file is " + why + ": " + Quoted(text));
    ++checks_["the file at the end holds what was shown"];
    // What the screen showed, as the last check saw it.
    if (saved->tipX != known_.tipX || saved->tipY != known_.tipY || saved->size != known_.size ||
        saved->orientation != known_.orientation || (colourSeen_ && saved->color != known_.color)) {
      std::ostringstream what;
      what << "the program ended saving " << *saved << "; it showed " << known_;
      throw SoakFailure(what.str());
    }
  }

  // A new start after a kill or an end: the edges switched now and then, under Wine 10 the
  // projector at another scale now and then (or at `projectorDpi`); then the arrow must show
  // what the file held.
  void StartAgain(std::optional<int> projectorDpi = std::nullopt) {
    run_->Input().Focus(PointerRoot);
    std::string why;
    std::string text = ReadText(run_->SettingsFile());
    auto saved = WholeFile(text, why);
    if (!saved) throw SoakFailure("before the new start the settings file is " + why);
    if (Chance(50)) {
      saved->edges = saved->edges == "Smooth" ? "Sharp" : "Smooth";
      const std::size_t at = text.find("Edges=");
      text.replace(at, text.find("\r\n", at) - at, "Edges=" + saved->edges);
      const fs::path written = run_->SettingsFile().string() + ".soak";
      std::ofstream(written, std::ios::binary) << text;
      fs::rename(written, run_->SettingsFile());
      Note("edges switched to " + saved->edges + " in the file");
    }
    if (perMonitorScales_ && projectorOn_ && (projectorDpi || Chance(30))) {
      projectorDpi_ = projectorDpi.value_or(kProjectorDpis[static_cast<std::size_t>(Pick(0, 3))]);
      if (!SetMonitorDpi(run_->S(), 1, projectorDpi_)) {
        throw SoakFailure("the projector's scale could not be set");
      }
      Note("the projector set to " + std::to_string(projectorDpi_) + " DPI");
    }
    Note("started again");
    if (!run_->Restart()) throw SoakFailure("no arrow after a new start");
    ++starts_;
    ++runs_;
    smooth_ = saved->edges == "Smooth";
    (smooth_ ? smoothStarts_ : sharpStarts_)++;
    windowsPid_.reset();
    ShowsWhatWasSaved(text, *saved);
  }

  // --- the checks ---

  // After a start: the arrow where the file put it, its tip placed on its monitor as a start
  // places it, in the file's colour.
  void ShowsWhatWasSaved(const std::string& text, const Saved& saved) {
    fileAtStart_ = text;
    const Saved loaded = Loaded(saved);
    const Point tip{loaded.tipX, loaded.tipY};
    std::optional<ProbeWindow> arrow;
    std::vector<Rect> expected;
    for (const double scale : ScalesAt(tip)) expected.push_back(Bounds(loaded, tip, scale));
    const bool there = WaitUntil(
        kSettle,
        [&] {
          arrow = LookNow().arrow;
          return arrow && std::find(expected.begin(), expected.end(), FromWin(arrow->rect)) !=
                              expected.end();
        },
        300ms);
    ++checks_["a start shows the saved state"];
    if (!there) {
      std::ostringstream what;
      what << "the new start does not show what the file held (" << saved << "): the arrow is "
           << (arrow ? FromWin(arrow->rect) : Rect{}) << ", not " << expected.front();
      throw SoakFailure(what.str());
    }
    known_ = loaded;
    colourSeen_.reset();
    scale_ = ScaleOf(loaded, FromWin(arrow->rect));
    // Opaque and large enough to have an inside well away from the rim: its colour, in the
    // middle of the head, where no show may cover it.
    if (saved.alphaIndex != kTopAlphaIndex || saved.size < 3) return;
    const auto [x, y] = OnScreen(Pose(), -3.5, 0);
    if (!OnAMonitor({x, y}, 2) || (show_ && Overlap(show_->place, {x, y, x + 1, y + 1}))) return;
    ++checks_["a start shows the saved colour"];
    const Rgb colour = Rgb::FromColorRef(static_cast<std::uint32_t>(saved.color));
    if (!WaitUntil(
            10s, [&] { return run_->X().Pixel(x, y) == colour; }, 100ms)) {
      std::ostringstream what;
      what << "the new start shows " << run_->X().Pixel(x, y) << " at " << x << "," << y
           << ", not the saved colour " << colour;
      throw SoakFailure(what.str());
    }
  }

  void Check(const std::string& after) {
    if (const auto ended = run_->Program().WaitFor(0s)) {
      throw SoakFailure("the program ended (" +
                        std::string(ended->exited ? "exit code " : "signal ") +
                        std::to_string(ended->code) + ") after " + after);
    }
    if (const std::string failure = watch_->Now().failure; !failure.empty()) {
      throw SoakFailure(failure);
    }
    ++checks_["the arrow visible"];
    if (!WaitUntil(
            kSettle, [&] { return LookNow().Visible(); }, 300ms)) {
      throw SoakFailure("the arrow is not visible after " + after);
    }
    Settled(after);
    // Its tip kept on a monitor, the rest of it may lie beyond (dragged to an edge, its
    // monitor unplugged): out of the presenter's reach, it comes back by the hotkey.
    if (Reachable().empty()) {
      Note("the arrow out of reach");
      ++episodes_["hotkey (the arrow out of reach)"];
      PressHotKey();
      Settled("the hotkey for an arrow out of reach");
    }
    AboveTheShow();
    AnswersAWheelStep();
    Measure();
  }

  // The arrow where the file says, once the save that follows a change has come; and, after
  // a move to a known place, the file holding that place.
  void Settled(const std::string& after) {
    Saved saved;
    Rect shown;
    std::vector<Rect> expected;
    const bool settled = WaitUntil(
        kSettle,
        [&] {
          std::string why;
          const std::string text = ReadText(run_->SettingsFile());
          const auto file = WholeFile(text, why);
          const auto arrow = LookNow().arrow;
          if (!file || !arrow) return false;
          // Until the program saves for the first time, it shows what its start made of the file.
          saved = text == fileAtStart_ ? Loaded(*file) : *file;
          shown = FromWin(arrow->rect);
          expected.clear();
          for (const double scale : ScalesAt({saved.tipX, saved.tipY})) {
            expected.push_back(Bounds(saved, {saved.tipX, saved.tipY}, scale));
          }
          if (std::find(expected.begin(), expected.end(), shown) == expected.end() ||
              (expectedTip_ && (saved.tipX != expectedTip_->x || saved.tipY != expectedTip_->y))) {
            return false;
          }
          known_ = saved;
          scale_ = ScaleOf(known_, shown);
          colourSeen_ = ColourShown();
          return !colourSeen_ ||
                 *colourSeen_ == Rgb::FromColorRef(static_cast<std::uint32_t>(saved.color));
        },
        300ms);
    ++checks_["the arrow where its settings say"];
    if (!settled) {
      std::ostringstream what;
      what << "after " << after << " the arrow is " << shown << " while the file says " << saved;
      if (!expected.empty()) what << " (the arrow's place: " << expected.front() << ")";
      if (expectedTip_) what << "; the tip should be at " << At(*expectedTip_);
      if (colourSeen_) what << "; the arrow shows the colour " << *colourSeen_;
      throw SoakFailure(what.str());
    }
    if (expectedTip_) ++checks_["the tip where the input put it"];
    if (colourSeen_) ++checks_["the colour its settings say"];
  }

  // The arrow's colour on the screen where it can be told: opaque (by the file and by its X
  // window), sharp, large enough to have an inside away from the rim, its head on a monitor
  // with no show over it. Nothing otherwise.
  std::optional<Rgb> ColourShown() {
    if (smooth_ || known_.alphaIndex != kTopAlphaIndex || known_.size < 3) return std::nullopt;
    const auto [x, y] = OnScreen(Pose(), -3.5, 0);
    if (!OnAMonitor({x, y}, 2) || (show_ && Overlap(show_->place, {x, y, x + 1, y + 1}))) {
      return std::nullopt;
    }
    for (const MappedWindow& w : run_->X().MappedWindows()) {
      if (w.name == "FormMain" && run_->X().Opacity(w.window).value_or(~0U) != ~0U) {
        return std::nullopt;
      }
    }
    return run_->X().Pixel(x, y);
  }

  // A full-screen show that covers the arrow is below it on the screen. Judged by X's
  // stacking, which is what the screen shows: Wine's own order of the two windows flips now
  // and then as the arrow reshapes (moves and regions that keep the order), while the screen
  // keeps the arrow on top.
  void AboveTheShow() {
    if (!show_) return;
    if (wine_ < 10) {
      ++leftOut_
          ["above the show (Wine 8 sends no foreground events, by which the arrow "
           "learns that a show went above it)"];
      return;
    }
    if (!Overlap(show_->place, Arrow().rect)) return;
    ++checks_["the arrow above the full-screen show"];
    // Windows' order is the program's to keep; Wine 10 now and then leaves X's stacking of
    // the two behind it (a new start's arrow, first in Windows' order and the foreground,
    // mapped under the show), which is counted apart.
    bool onX = false;
    if (!WaitUntil(
            kSettle,
            [&] {
              onX = ArrowAboveTheShow() == true;
              return onX || ArrowFirstInWindowsOrder();
            },
            300ms)) {
      throw SoakFailure("the full-screen show stays above the arrow");
    }
    if (!onX) ++wineStacking_;
  }

  // Whether Windows has the arrow above every window of the stand-in slides.
  bool ArrowFirstInWindowsOrder() {
    const auto arrow = LookNow().arrow;
    if (!arrow || !arrow->visible) return false;
    for (const ProbeWindow& w : run_->S().WinProbe().Windows("probe.exe")) {
      if (w.visible && w.z < arrow->z) return false;
    }
    return true;
  }

  // The name of the X window the pointer is over, as X decides it (its shape counts).
  std::string NameUnderPointer() {
    const Window under = run_->X().UnderPointer();
    for (const MappedWindow& w : run_->X().MappedWindows()) {
      if (w.window == under) return w.name;
    }
    return {};
  }

  // Whether the arrow's X window lies above the show's; nothing if either is not mapped.
  std::optional<bool> ArrowAboveTheShow() {
    int arrow = -1;
    int show = -1;
    int place = 0;
    for (const MappedWindow& w : run_->X().MappedWindows()) {
      if (w.name == "FormMain") arrow = place;
      if (w.name == "Slides") show = place;
      ++place;
    }
    if (arrow < 0 || show < 0) return std::nullopt;
    return arrow > show;
  }

  // A plain wheel step over the arrow turns it, and one back turns it back.
  void AnswersAWheelStep() {
    if (show_ && Overlap(show_->place, Arrow().rect) && ArrowAboveTheShow() == false) {
      ++leftOut_
          ["a wheel step under a full-screen show (X has the show above the arrow: Wine 8 "
           "always, Wine 10 now and then)"];
      return;
    }
    const int orientation = known_.orientation;
    for (const int step : {1, -1}) {
      // Over the arrow as it is before the step: the first turns it about its tip.
      const Point at = AnyReachable();
      known_.orientation = (orientation + (step > 0 ? 1 : 0)) % 24;
      const Rect expected = Bounds(known_, {known_.tipX, known_.tipY}, scale_);
      Note(std::string("check: a wheel step ") + (step > 0 ? "up" : "back") + " at " + At(at));
      // Sent once X has the arrow under the pointer: a click into a show just before may
      // still be restacking it above the arrow for a moment.
      run_->Input().MoveTo(at.x, at.y);
      std::string under;
      WaitUntil(
          kSettle,
          [&] {
            under = NameUnderPointer();
            return under == "FormMain";
          },
          100ms);
      run_->Input().Wheel(step);
      std::optional<ProbeWindow> arrow;
      if (!WaitUntil(
              kSettle,
              [&] {
                arrow = LookNow().arrow;
                return arrow && FromWin(arrow->rect) == expected;
              },
              300ms)) {
        std::ostringstream what;
        what << "the arrow does not answer a wheel step at " << At(at) << " (sent to X's \""
             << under << "\"): it is " << (arrow ? FromWin(arrow->rect) : Rect{}) << ", not "
             << expected;
        throw SoakFailure(what.str());
      }
    }
    ++checks_["the arrow answers a wheel step"];
  }

  void Measure() {
    const auto counts = run_->S().WinProbe().Counts(kExe);
    if (!counts) throw SoakFailure("the program gave no object counts");
    if (!windowsPid_) windowsPid_ = WindowsProcess(run_->Program().Pid(), kExe);
    const auto memory = windowsPid_ ? Memory(*windowsPid_) : std::nullopt;
    Sample sample;
    sample.minutes = Minutes();
    sample.run = runs_;
    sample.values = {counts->gdi, counts->user, counts->kernel, memory ? memory->privateKiB : 0};
    samples_.push_back(sample);
    ++checks_["object counts and memory read"];
  }

  // --- where things are ---

  Look LookNow() {
    Look look;
    for (ProbeWindow& w : run_->S().WinProbe().Windows(kExe)) {
      if (w.className == "TFormMain" && (!look.arrow || (w.visible && !look.arrow->visible))) {
        look.arrow = w;
      } else if (w.className == "TApplication" && !look.application) {
        look.application = w;
      }
    }
    return look;
  }

  ProbeWindow Arrow() {
    std::optional<ProbeWindow> arrow;
    if (!WaitUntil(
            kSettle, [&] { return (arrow = LookNow().arrow).has_value(); }, 300ms)) {
      throw SoakFailure("the probe finds no arrow window");
    }
    return *arrow;
  }

  bool OnProjector(Point p) const { return projectorOn_ && Inside(kProjector, p, 0); }
  bool OnAMonitor(Point p, int margin) const {
    return Inside(kLaptop, p, margin) || (projectorOn_ && Inside(kProjector, p, margin));
  }
  static bool Inside(const Rect& r, Point p, int margin) {
    return p.x >= r.x + margin && p.x < r.x + r.width - margin && p.y >= r.y + margin &&
           p.y < r.y + r.height - margin;
  }

  // The monitors' scales over the laptop's.
  double Scale(const Rect& monitor) const {
    return &monitor == &kProjector ? static_cast<double>(projectorDpi_) / LaptopDpi() : 1.0;
  }
  int LaptopDpi() const { return perMonitorScales_ ? kLaptopDpi : 96; }
  // The scale the arrow takes at its tip; where no monitor is, it keeps the one it had.
  std::vector<double> ScalesAt(Point tip) const {
    if (Inside(kLaptop, tip, 0)) return {1.0};
    if (OnProjector(tip)) return {Scale(kProjector)};
    return {scale_, 1.0, Scale(kProjector)};
  }
  double ScaleOf(const Saved& saved, const Rect& shown) const {
    for (const double scale : ScalesAt({saved.tipX, saved.tipY})) {
      if (Bounds(saved, {saved.tipX, saved.tipY}, scale) == shown) return scale;
    }
    return ScalesAt({saved.tipX, saved.tipY}).front();
  }
  static Rect Bounds(const Saved& saved, Point tip, double scale) {
    return ExpectedBounds(ArrowPose{3, saved.size, saved.orientation, tip.x, tip.y, scale});
  }
  ArrowPose Pose() const {
    return ArrowPose{3, known_.size, known_.orientation, known_.tipX, known_.tipY, scale_};
  }

  // What a start makes of the file: the tip placed on its monitor, no opacity below the
  // lowest a start takes.
  Saved Loaded(Saved saved) const {
    const Point tip = PlacedTip({saved.tipX, saved.tipY});
    saved.tipX = tip.x;
    saved.tipY = tip.y;
    saved.alphaIndex = std::max(saved.alphaIndex, kLowestStartAlphaIndex);
    return saved;
  }

  // Where a start puts a tip: on its monitor if that is not the laptop, else on the laptop,
  // kept inside either.
  Point PlacedTip(Point tip) const {
    const Rect& monitor = OnProjector(tip) ? kProjector : kLaptop;
    return {std::clamp(tip.x, monitor.x + kTipMargin, monitor.x + monitor.width - kTipMargin),
            std::clamp(tip.y, monitor.y + kTipMargin, monitor.y + monitor.height - kTipMargin)};
  }

  // Points well inside the arrow, along its middle, that lie on a monitor.
  std::vector<Point> Reachable() const {
    std::vector<Point> points;
    for (const double x : {-3.5, -2.5, -5.0, -7.0, -9.0, -10.5}) {
      const auto [px, py] = OnScreen(Pose(), x, 0);
      if (OnAMonitor({px, py}, 3)) points.push_back({px, py});
    }
    return points;
  }
  // Those of them that X has on the arrow: a thin shaft's middle may lie a pixel beside
  // its outline's pixels. None while some lie on a monitor is the arrow not shown where its
  // outline is.
  std::vector<Point> Grips() {
    const auto points = Reachable();
    if (points.empty()) throw SoakFailure("no part of the arrow is on a monitor");
    std::vector<Rect> shape;
    for (const MappedWindow& w : run_->X().MappedWindows()) {
      if (w.name == "FormMain") shape = run_->X().ShapeRectangles(w.window);
    }
    std::vector<Point> grips;
    for (const Point& p : points) {
      for (const Rect& r : shape) {
        if (p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height) {
          grips.push_back(p);
          break;
        }
      }
    }
    if (grips.empty()) {
      std::ostringstream what;
      what << "X shows the arrow at none of the points along its middle:";
      for (const Point& p : points) what << " " << At(p);
      throw SoakFailure(what.str());
    }
    return grips;
  }
  Point AnyReachable() {
    const auto grips = Grips();
    return grips[static_cast<std::size_t>(Pick(0, static_cast<int>(grips.size()) - 1))];
  }
  // Where the hotkey or a second start brings the arrow: on a monitor, as far inside it as
  // the arrow is long, so that it lies on the monitor whichever way it points.
  Point SomewhereOnAMonitor() {
    const Rect& monitor = projectorOn_ && Chance(40) ? kProjector : kLaptop;
    const int length = static_cast<int>(12 * 3 * SizeFactor(known_.size) * Scale(monitor));
    const int margin = std::clamp(length + 8, 60, std::min(monitor.width, monitor.height) / 2 - 8);
    return {Pick(monitor.x + margin, monitor.x + monitor.width - margin),
            Pick(monitor.y + margin, monitor.y + monitor.height - margin)};
  }
  int SizeDirection() {
    if (known_.size >= kLargestSize) return -1;
    if (known_.size <= 2) return 1;
    return Chance(50) ? 1 : -1;
  }

  // --- the record ---

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int percent) { return Pick(1, 100) <= percent; }
  double Minutes() const {
    return std::chrono::duration<double>(Clock::now() - began_).count() / 60;
  }
  static std::string At(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
  // "Shift+Ctrl+", as the keys are written before the one they go with.
  static std::string Modifiers(unsigned modifiers) {
    std::string text;
    if ((modifiers & kShift) != 0) text += "Shift+";
    if ((modifiers & kCtrl) != 0) text += "Ctrl+";
    if ((modifiers & kAlt) != 0) text += "Alt+";
    return text;
  }
  static std::string Describe(const Saved& s) {
    std::ostringstream text;
    text << s;
    return text.str();
  }
  static void Expect(const testing::AssertionResult& result, const std::string& what) {
    if (!result) throw SoakFailure(what + ": " + result.message());
  }

  void Note(const std::string& action) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%7.2f min  ", Minutes());
    actions_.push_back(stamp + action);
    if (actions_.size() > kActionsKept) actions_.pop_front();
  }

  void Progress() {
    const Sample* last = samples_.empty() ? nullptr : &samples_.back();
    std::printf(
        "soak: %.0f of %.4g minutes, %ld episodes, %d starts; GDI/USER/kernel %ld/%ld/%ld, "
        "private %.1f MiB\n",
        Minutes(), minutes_, episodeCount_, starts_, last ? last->values[0] : -1,
        last ? last->values[1] : -1, last ? last->values[2] : -1,
        last ? static_cast<double>(last->values[3]) / 1024 : 0.0);
    std::fflush(stdout);
  }

  void Report(const std::string& failure) {
    Summary();
    std::printf("\nSOAK FAILED after %.2f minutes, %ld episodes: %s\n", Minutes(), episodeCount_,
                failure.c_str());
    if (run_) {
      // What X shows: each mapped window bottom to top, the arrow's shape, what the pointer
      // is over.
      XScreen& x = run_->X();
      const Window under = x.UnderPointer();
      std::printf("X, bottom to top:\n");
      for (const MappedWindow& w : x.MappedWindows()) {
        std::ostringstream line;
        line << "  \"" << w.name << "\" " << w.geometry << (w.window == under ? " (pointer)" : "");
        if (w.name == "FormMain") {
          line << " shape";
          for (const Rect& r : x.ShapeRectangles(w.window)) line << " " << r;
        }
        std::printf("%s\n", line.str().c_str());
      }
      const auto foreground = run_->S().WinProbe().Foreground();
      const auto buttons = run_->S().WinProbe().AnyButtonDown();
      std::printf("Windows' foreground: %s; a mouse button held: %s\n",
                  foreground ? foreground->className.c_str() : "?",
                  buttons ? (*buttons ? "yes" : "no") : "?");
      std::printf("the program's windows:\n");
      for (const ProbeWindow& w : run_->S().WinProbe().Windows(kExe)) {
        std::printf("  %s \"%s\"%s%s at %ld,%ld size %ldx%ld z %d\n", w.className.c_str(),
                    w.title.c_str(), w.visible ? " visible" : " hidden",
                    w.minimized ? " minimised" : "", w.rect.left, w.rect.top, w.rect.Width(),
                    w.rect.Height(), w.z);
      }
    }
    std::printf("the last %zu actions:\n", actions_.size());
    for (const std::string& action : actions_) std::printf("  %s\n", action.c_str());
    std::printf("replay: bash scripts/soak.sh%s --minutes %.4g --seed %llu --fuzz-minutes 0\n",
                Target().name == "x64" ? " --wine8" : "", minutes_,
                static_cast<unsigned long long>(seed_));
    std::fflush(stdout);
  }

  template <class Counts>
  static std::string List(const Counts& counts) {
    std::string text;
    for (const auto& [name, count] : counts) {
      text += (text.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(count);
    }
    return text.empty() ? "none" : text;
  }

  void Summary() {
    std::printf("\nsoak summary: seed %llu, %.2f minutes, %ld episodes, Wine %d\n",
                static_cast<unsigned long long>(seed_), Minutes(), episodeCount_, wine_);
    std::printf("  episodes: %s\n", List(episodes_).c_str());
    std::printf("  drags across the monitors %d; menu: %s\n", dragsAcross_,
                List(menuChoices_).c_str());
    std::printf("  restores: %s; shows: %s\n", List(restores_).c_str(), List(shows_).c_str());
    std::printf("  projector scale changes: %s\n", List(scaleChanges_).c_str());
    std::printf("  starts %d (sharp %d, smooth %d), kills: %s, orderly ends %d\n", starts_,
                sharpStarts_, smoothStarts_, List(kills_).c_str(), exits_);
    if (watch_) {
      const FileWatch::Tally file = watch_->Now();
      std::printf("  settings file: read %ld times at its changes, %zu versions, all whole: %s\n",
                  file.reads, file.versions, file.failure.empty() ? "yes" : "no");
    }
    long total = 0;
    for (const auto& [name, count] : checks_) total += count;
    std::printf("  checks %ld: %s\n", total, List(checks_).c_str());
    if (!leftOut_.empty()) std::printf("  left out: %s\n", List(leftOut_).c_str());
    if (wineStacking_ > 0) {
      std::printf("  above the show in Windows' order while X stacked the show above: %ld\n",
                  wineStacking_);
    }
  }

  // The figures at the start, at the end of the warm-up and at the end, and their slopes
  // after the warm-up; false if one grew.
  bool Verdict() {
    Summary();
    const double warm = std::chrono::duration<double>(warmedUp_ - began_).count() / 60;
    std::vector<Sample> after;
    std::copy_if(samples_.begin(), samples_.end(), std::back_inserter(after),
                 [&](const Sample& s) { return s.minutes >= warm; });
    if (samples_.empty() || after.empty()) {
      std::printf("\nsoak: too short for figures after the warm-up of %.2f minutes\n", warm);
      return true;
    }
    std::printf("  figures (warm-up %.2f minutes; slopes within each start, after the warm-up):\n",
                warm);
    std::printf("    %-15s %10s %10s %10s %14s\n", "", "start", "warm-up", "end", "slope per hour");
    std::vector<std::string> grown;
    for (std::size_t f = 0; f < kFigures.size(); ++f) {
      const double slope = SlopePerHour(after, f);
      std::printf("    %-15s %10ld %10ld %10ld %14.1f\n", kFigures[f], samples_.front().values[f],
                  after.front().values[f], after.back().values[f], slope);
      // Per start: the counts come back to where they were after the warm-up; memory grows
      // by less than a quarter and 8 MiB from the first third of its samples to the last.
      std::map<int, std::vector<long>> perRun;
      for (const Sample& s : after) perRun[s.run].push_back(s.values[f]);
      for (const auto& [run, values] : perRun) {
        bool grew = false;
        if (f < 3) {
          grew = values.back() > values.front();
        } else if (values.size() >= 9) {
          const std::size_t third = values.size() / 3;
          const auto span = static_cast<std::ptrdiff_t>(third);
          const double first = Median(std::vector<long>(values.begin(), values.begin() + span));
          const double last = Median(std::vector<long>(values.end() - span, values.end()));
          grew = last > first * 1.25 + 8192;
        }
        if (grew) {
          grown.push_back(std::string(kFigures[f]) + " grew in start " + std::to_string(run) +
                          " after the warm-up: from " + std::to_string(values.front()) + " to " +
                          std::to_string(values.back()));
        }
      }
    }
    for (const std::string& figure : grown) std::printf("SOAK FAILED: %s\n", figure.c_str());
    const bool flat = grown.empty();
    if (!flat) {
      std::printf("replay: bash scripts/soak.sh%s --minutes %.4g --seed %llu --fuzz-minutes 0\n",
                  Target().name == "x64" ? " --wine8" : "", minutes_,
                  static_cast<unsigned long long>(seed_));
    } else {
      std::printf("soak passed: seed %llu\n", static_cast<unsigned long long>(seed_));
    }
    std::fflush(stdout);
    return flat;
  }

  // --- state ---

  const double minutes_;
  const std::uint64_t seed_;
  std::mt19937_64 random_;
  const int wine_;
  bool perMonitorScales_ = false;
  std::optional<ArrowRun> run_;
  std::optional<FileWatch> watch_;
  Clock::time_point began_ = Clock::now();
  Clock::time_point warmedUp_ = Clock::now();

  Saved known_;  // what the arrow shows, as of the last check
  double scale_ = 1.0;
  std::optional<Point> expectedTip_;
  std::optional<Rgb> colourSeen_;  // by the last check, where the screen shows it
  std::string fileAtStart_;        // the settings file as the latest start found it
  bool projectorOn_ = true;
  bool projectorSwitchable_ = true;
  int projectorDpi_ = 96;
  bool smooth_ = false;
  bool leftHeld_ = false;
  bool middleClicked_ = false;  // in the episode that ends in a kill
  std::optional<Show> show_;
  std::optional<pid_t> windowsPid_;

  std::deque<std::string> actions_;
  long episodeCount_ = 0;
  std::map<std::string, int> episodes_;
  std::map<std::string, int> menuChoices_;
  std::map<std::string, int> restores_;
  std::map<std::string, int> shows_;
  std::map<std::string, int> scaleChanges_;
  std::map<std::string, int> kills_;
  std::map<std::string, long> checks_;
  std::map<std::string, long> leftOut_;
  // Above the show in Windows' order while X had the show above the arrow.
  long wineStacking_ = 0;
  int dragsAcross_ = 0;
  int starts_ = 0;
  int runs_ = 0;
  int smoothStarts_ = 0;
  int sharpStarts_ = 0;
  int exits_ = 0;
  std::vector<Sample> samples_;
};

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) {
  double minutes = 2;
  std::uint64_t seed = std::random_device{}();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--minutes" && i + 1 < argc) {
      minutes = std::stod(argv[++i]);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::stoull(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--minutes N] [--seed S]\n", argv[0]);
      return 2;
    }
  }
  return qd::e2e::Soak(minutes, seed).Run();
}
