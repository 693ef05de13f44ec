// How long the middle-button fades of Quiverdart.exe take under Wine, against their
// nominal length: 22 pauses of Delay(60), which waits 59 ms, between 23 opacity steps.
// Prints figures and ratios; judges nothing.
//
//   fade_bench [--runs N]
//
// One opaque arrow (AlphaBlendIndex=22) is faded out and in N times, each timed from its
// XTest middle click. The fade-out blocks the program, so a left click sent right behind
// the middle one is served when it ends: its end is the first cursor change (XFixes
// CursorNotify, to the grabbing hand) after the click. The opacity that Wine reports
// reaches 2 earlier, at index 2, after 20 of the 22 pauses; that is printed too. The
// fade-in ends when the opacity property goes away: the last step sets 255 and Wine drops
// the property at full opacity.
//
// Then the full fade-out again in fresh runs, with sharp and with smooth edges ([Display]
// Edges=Smooth) at the default size, Size 23 and Size 24, timed by the cursor change alone:
// with smooth edges the opacity goes into the picture and Wine sets no property.
//
// Memory: at Sizes 23 and 24 each of those runs then turns the arrow once round by 24 wheel
// steps, and the Windows process's peak resident size (VmHWM) is read. Smooth edges may
// cost two bitmaps of the largest window seen more than sharp ones (the image the program
// draws and the layered window's copy, 4 bytes a pixel); the difference is printed beside that
// allowance, and how many of the steps moved the window in each run. Wine 10 cuts short
// the region of a window wider or taller than the screen that reaches past its left or top
// edge, so that the steps there miss the arrow: at Size 24 at every turn, at Size 23 at
// the turns that make it taller than the screen. Beside them, baseline.exe's peak with a
// window showing one opaque image of the largest size through UpdateLayeredWindow, against
// its plain shaped window, in bitmaps of that size: the image itself and what the window
// system keeps of it in the process.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"

namespace qd::e2e {
namespace {

// Delay(60) waits 59 ms.
constexpr double kPauseMs = 59.0;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Watches the arrow's opacity property and the cursor on a connection of its own, so that
// each change is timed when it arrives and not when some other reader gets round to it.
class Watch {
 public:
  Watch(const std::string& display, Window window) : window_(window) {
    display_ = XOpenDisplay(display.c_str());
    int errorBase = 0;
    int major = 5;
    int minor = 0;
    if (display_ == nullptr || !XFixesQueryExtension(display_, &fixesEvents_, &errorBase) ||
        !XFixesQueryVersion(display_, &major, &minor)) {
      std::fprintf(stderr, "cannot watch %s\n", display.c_str());
      std::exit(1);
    }
    atom_ = XInternAtom(display_, "_NET_WM_WINDOW_OPACITY", False);
    XSelectInput(display_, window_, PropertyChangeMask);
    XFixesSelectCursorInput(display_, DefaultRootWindow(display_), XFixesDisplayCursorNotifyMask);
    XSync(display_, False);
  }
  ~Watch() { XCloseDisplay(display_); }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // Waits for the alpha (nothing: the property removed); the time it arrived, or nothing
  // at the deadline.
  std::optional<Clock::time_point> WaitForAlpha(std::optional<std::uint32_t> alpha,
                                                Clock::duration timeout) {
    return WaitFor(
        [&](const XEvent& e) {
          return e.type == PropertyNotify && e.xproperty.atom == atom_ && Read() == alpha;
        },
        timeout);
  }

  std::optional<Clock::time_point> WaitForCursorChange(Clock::duration timeout) {
    return WaitFor([&](const XEvent& e) { return e.type == fixesEvents_ + XFixesCursorNotify; },
                   timeout);
  }

  // Events that came before now count for nothing.
  void Drain() {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }

  template <class Condition>
  std::optional<Clock::time_point> WaitFor(Condition done, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    const int fd = ConnectionNumber(display_);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto now = Clock::now();
        if (done(event)) return now;
      }
      if (!WaitReadable(fd, deadline)) return std::nullopt;
    }
  }

  std::optional<std::uint32_t> Read() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window_, atom_, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) != Success ||
        data == nullptr) {
      return std::nullopt;
    }
    std::optional<std::uint32_t> alpha;
    if (count == 1 && format == 32) {
      alpha =
          static_cast<std::uint32_t>(*reinterpret_cast<const unsigned long*>(data)) / kOpacityUnit;
    }
    XFree(data);
    return alpha;
  }

 private:
  ::Display* display_ = nullptr;
  Window window_;
  Atom atom_ = 0;
  int fixesEvents_ = 0;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Print(const char* name, const std::vector<double>& ms, int pauses) {
  if (ms.empty()) {
    std::printf("%s runs=0\n", name);
    return;
  }
  const double median = Median(ms);
  const double nominal = pauses * kPauseMs;
  std::printf("%s median=%.0f min=%.0f max=%.0f runs=%zu nominal=%.0f ratio=%.2f\n", name, median,
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
              ms.size(), nominal, median / nominal);
}

long Pixels(const Rect& r) { return static_cast<long>(r.width) * r.height; }

// The peak resident size of baseline.exe with these arguments once it has shown its
// window; -1 if it did not run.
long BaselinePeakKiB(const std::vector<std::string>& args) {
  Session s(1920, 1080);
  const std::string path = s.Install(HelperPath("baseline.exe"), "baseline.exe");
  Process launched = s.Launch(path, args);
  const auto shown = [&] {
    for (const MappedWindow& w : s.X().MappedWindows()) {
      if (w.name.starts_with("Baseline")) return true;
    }
    return false;
  };
  long peakKiB = -1;
  // Looked for once the window shows: until then, under WoW64, the loader that becomes
  // start.exe is the only process whose command line names the exe.
  if (WaitUntil(20s, shown)) {
    WaitUntil(2s, [] { return false; });
    if (const auto pid = WindowsProcess(launched.Pid(), "baseline.exe")) {
      if (const auto use = Memory(*pid)) peakKiB = use->peakKiB;
      kill(*pid, SIGKILL);
    }
  }
  launched.Kill();
  return peakKiB;
}

struct FadeRuns {
  std::vector<double> full;  // the full fade-outs, ms
  long peakKiB = -1;         // VmHWM after them and a turn round; -1 not measured
  Rect largest{};            // the largest window seen while turning
  int turnsSeen = 0;         // wheel steps that moved the window
};

// Turns the arrow once round by wheel steps over the middle of its head, each given when
// the last one moved the window or after 2 s: the largest window seen and the turns seen.
void TurnRound(ArrowRun& run, int size, FadeRuns& runs) {
  constexpr int kTurns = 24;
  ArrowPose pose;
  pose.size = size;
  Rect now = run.Now();
  runs.largest = now;
  for (int turn = 0; turn < kTurns; ++turn) {
    pose.orientation = turn;
    const auto [x, y] = OnScreen(pose, -3.5, 0);
    run.Input().MoveTo(x, y);
    const Rect before = now;
    run.Input().Wheel(1);
    runs.turnsSeen += WaitUntil(2s, [&] { return (now = run.Now()) != before; }) ? 1 : 0;
    if (Pixels(now) > Pixels(runs.largest)) runs.largest = now;
  }
}

// The full fade-outs of n runs in a fresh program with these settings, then with memory
// the peak after a turn round; no fades if it did not show or a fade did not end.
FadeRuns FullFadeOuts(const std::string& settings, int n, int size, bool memory) {
  FadeRuns runs;
  std::vector<double>& full = runs.full;
  ArrowRun run(1920, 1080, settings);
  if (run.Arrow() == 0) return runs;
  Watch watch(run.S().Screen().Display(), run.Arrow());
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 2, r.y + r.height / 2);
  // The arrow is shown and the open hand over it: let that settle.
  watch.WaitForCursorChange(2s);
  WaitUntil(1s, [] { return false; });
  for (int i = 0; i < n; ++i) {
    watch.Drain();
    const auto start = Clock::now();
    run.Input().Click(2);
    run.Input().Click(1);
    const auto ended = watch.WaitForCursorChange(20s);
    if (!ended) return {};
    full.push_back(Ms(*ended - start));
    watch.WaitForCursorChange(2s);
    watch.Drain();
    run.Input().Click(2);  // back in, untimed
    WaitUntil(3s, [] { return false; });
  }
  if (memory) {
    TurnRound(run, size, runs);
    WaitUntil(1s, [] { return false; });
    if (const auto pid = WindowsProcess(run.Program().Pid(), "Quiverdart.exe")) {
      if (const auto use = Memory(*pid)) runs.peakKiB = use->peakKiB;
    }
  }
  return runs;
}

int Main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: fade_bench [--runs N]\n");
      return 2;
    }
  }
  ArrowRun run(1920, 1080, "[Pointer]\r\nAlphaBlendIndex=22\r\n");
  if (run.Arrow() == 0) {
    std::fprintf(stderr, "the arrow did not show\n");
    return 1;
  }
  Watch watch(run.S().Screen().Display(), run.Arrow());
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
  // The arrow paints and sets its opacity right after the first map, and shows the open
  // hand once the pointer is over it; let that settle.
  if (!WaitUntil(10s, [&] { return !watch.Read(); })) {
    std::fprintf(stderr, "the arrow did not start opaque\n");
    return 1;
  }
  watch.WaitForCursorChange(2s);
  std::vector<double> full;
  std::vector<double> toTwo;
  std::vector<double> in;
  for (int i = 0; i < runs; ++i) {
    watch.Drain();
    auto start = Clock::now();
    run.Input().Click(2);
    run.Input().Click(1);
    const auto faded = watch.WaitForAlpha(2u, 20s);
    const auto ended = watch.WaitForCursorChange(20s);
    if (!faded || !ended) {
      std::fprintf(stderr, "run %d: the fade-out did not reach alpha 2 and end\n", i + 1);
      return 1;
    }
    toTwo.push_back(Ms(*faded - start));
    full.push_back(Ms(*ended - start));
    // The release's open hand comes right behind the grabbing one.
    watch.WaitForCursorChange(2s);
    watch.Drain();
    start = Clock::now();
    run.Input().Click(2);
    const auto back = watch.WaitForAlpha(std::nullopt, 20s);
    if (!back) {
      std::fprintf(stderr, "run %d: the fade-in did not end opaque\n", i + 1);
      return 1;
    }
    in.push_back(Ms(*back - start));
  }
  Print("fade_full_ms", full, 22);
  Print("fade_out_to_alpha2_ms", toTwo, 20);
  Print("fade_in_full_ms", in, 22);

  for (const int size : {4, 23, 24}) {
    const std::string settings =
        "[Pointer]\r\nAlphaBlendIndex=22\r\nSize=" + std::to_string(size) + "\r\n";
    const bool memory = size >= 23;
    const FadeRuns sharpRuns = FullFadeOuts(settings, runs, size, memory);
    const FadeRuns smoothRuns =
        FullFadeOuts(settings + "[Display]\r\nEdges=Smooth\r\n", runs, size, memory);
    const std::vector<double>& sharp = sharpRuns.full;
    const std::vector<double>& smooth = smoothRuns.full;
    const std::string sharpName = "fade_full_ms edges=sharp size=" + std::to_string(size);
    const std::string smoothName = "fade_full_ms edges=smooth size=" + std::to_string(size);
    Print(sharpName.c_str(), sharp, 22);
    Print(smoothName.c_str(), smooth, 22);
    if (!sharp.empty() && !smooth.empty()) {
      std::printf("fade_full_ms size=%d smooth/sharp=%.2f\n", size, Median(smooth) / Median(sharp));
    }
    if (memory && (sharpRuns.peakKiB < 0 || smoothRuns.peakKiB < 0)) {
      std::printf("peak_kib size=%d not measured\n", size);
    } else if (memory) {
      const Rect& largest = Pixels(smoothRuns.largest) > Pixels(sharpRuns.largest)
                                ? smoothRuns.largest
                                : sharpRuns.largest;
      const long pixels = Pixels(largest);
      const long allowanceKiB = 2 * pixels * 4 / 1024;
      const long differenceKiB = smoothRuns.peakKiB - sharpRuns.peakKiB;
      std::printf(
          "peak_kib size=%d sharp=%ld smooth=%ld difference=%ld allowance=%ld (2 bitmaps of %ld "
          "pixels) difference/allowance=%.2f turns_seen=%d,%d of 24\n",
          size, sharpRuns.peakKiB, smoothRuns.peakKiB, differenceKiB, allowanceKiB, pixels,
          allowanceKiB > 0 ? static_cast<double>(differenceKiB) / allowanceKiB : 0.0,
          sharpRuns.turnsSeen, smoothRuns.turnsSeen);
      // What the window system keeps of one such image, beside the plain shaped window.
      const long plain = BaselinePeakKiB({});
      const long image =
          BaselinePeakKiB({"image", std::to_string(largest.width), std::to_string(largest.height)});
      if (plain >= 0 && image >= 0) {
        std::printf(
            "peak_kib size=%d baseline.exe plain=%ld image=%ld (one %dx%d image shown twice) "
            "difference=%ld bitmaps=%.2f\n",
            size, plain, image, largest.width, largest.height, image - plain,
            static_cast<double>(image - plain) / (static_cast<double>(pixels) * 4 / 1024));
      }
    }
  }
  return 0;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
