// How far behind the pointer Quiverdart.exe's arrow lags during a steady drag under Wine,
// beside one 60 Hz frame (16.7 ms). Prints figures and ratios; judges nothing.
//
//   drag_bench [--motions N]
//
// The arrow is pressed in its inner area and dragged in a straight line by XTest motions of
// 2 pixels each, sent at a steady rate (125 Hz, then 60 Hz back the other way). For every
// motion the lag is the time from sending it to the ConfigureNotify at which the arrow's X
// window first stands at that motion's place or beyond. Moves that come within the 10 ms
// hold-off after a handled one are dropped, so the window catches up at the next handled
// move; the lag includes that wait. Motions the window never caught up with (the last ones,
// when the final move was dropped) are counted apart.
//
// baseline.exe shows the same kind of window but does not drag, so there is no floor to
// measure against here.
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arrow_run.h"

namespace qd::e2e {
namespace {

constexpr double kFrameMs = 1000.0 / 60;
constexpr int kStep = 2;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank =
      static_cast<std::size_t>(p / 100 * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(rank, values.size() - 1)];
}

// Where the arrow's X window stands, with the time each move arrived, read on a connection
// of its own so that the times are those of arrival.
class MoveWatch {
 public:
  MoveWatch(const std::string& display, Window window) : window_(window) {
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
      std::fprintf(stderr, "cannot open %s\n", display.c_str());
      std::exit(1);
    }
    XSelectInput(display_, window_, StructureNotifyMask);
    XSync(display_, False);
  }
  ~MoveWatch() { XCloseDisplay(display_); }
  MoveWatch(const MoveWatch&) = delete;
  MoveWatch& operator=(const MoveWatch&) = delete;

  struct Move {
    Clock::time_point at;
    int x;
  };

  // Collects the moves that arrive until the given time.
  void CollectUntil(Clock::time_point until) {
    const int fd = ConnectionNumber(display_);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == window_) {
          moves_.push_back({Clock::now(), event.xconfigure.x});
        }
      }
      if (!WaitReadable(fd, until)) return;
    }
  }

  std::vector<Move> Take() { return std::exchange(moves_, {}); }

 private:
  ::Display* display_ = nullptr;
  Window window_;
  std::vector<Move> moves_;
};

struct Figures {
  std::vector<double> lagMs;
  int unresolved = 0;
  std::size_t windowMoves = 0;
};

// Where the drag puts the window's left edge for a pointer at x: the press's anchors plus
// the pointer's displacement.
struct Anchors {
  int pointerX;
  int windowX;
};

// Drags by n motions of kStep pixels in the direction (+1 or -1) at the given rate, from
// the pointer's place (px, py).
Figures SteadyDrag(ArrowRun& run, MoveWatch& watch, const Anchors& press, int& px, int py, int n,
                   int direction, double rateHz) {
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz));
  std::vector<Clock::time_point> sent;
  const int startPointer = px;
  auto next = Clock::now();
  for (int i = 1; i <= n; ++i) {
    watch.CollectUntil(next);
    px = startPointer + direction * kStep * i;
    sent.push_back(Clock::now());
    run.Input().MoveTo(px, py);
    next += period;
  }
  watch.CollectUntil(Clock::now() + 500ms);
  const auto moves = watch.Take();

  Figures f;
  f.windowMoves = moves.size();
  std::size_t m = 0;
  for (int i = 1; i <= n; ++i) {
    const int wanted = press.windowX + startPointer + direction * kStep * i - press.pointerX;
    // Moves before this motion was sent answer earlier ones.
    while (m < moves.size() && moves[m].at < sent[static_cast<std::size_t>(i - 1)]) ++m;
    std::size_t k = m;
    while (k < moves.size() && (moves[k].x - wanted) * direction < 0) ++k;
    if (k == moves.size()) {
      ++f.unresolved;
    } else {
      f.lagMs.push_back(Ms(moves[k].at - sent[static_cast<std::size_t>(i - 1)]));
    }
  }
  return f;
}

void Print(double rateHz, int motions, const Figures& f) {
  const double median = Percentile(f.lagMs, 50);
  const double p95 = Percentile(f.lagMs, 95);
  std::printf(
      "drag_lag_ms rate_hz=%.0f motions=%d median=%.1f p95=%.1f frame=%.1f ratio_median=%.2f "
      "ratio_p95=%.2f window_moves=%zu unresolved=%d\n",
      rateHz, motions, median, p95, kFrameMs, median / kFrameMs, p95 / kFrameMs, f.windowMoves,
      f.unresolved);
}

int Main(int argc, char** argv) {
  int motions = 300;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--motions") == 0 && i + 1 < argc) {
      motions = std::clamp(std::atoi(argv[++i]), 1, 400);
    } else {
      std::fprintf(stderr, "usage: drag_bench [--motions N]\n");
      return 2;
    }
  }
  ArrowRun run(1920, 1080);
  if (run.Arrow() == 0) {
    std::fprintf(stderr, "the arrow did not show\n");
    return 1;
  }
  MoveWatch watch(run.S().Screen().Display(), run.Arrow());
  const Rect& r = run.Shown();
  int px = r.x + r.width / 4;
  const int py = r.y + r.height / 2;
  run.Input().MoveTo(px, py);
  const Rgb red = Rgb::FromColorRef(0x0000FF);
  if (!WaitUntil(10s, [&] { return run.X().Pixel(px, py) == red; })) {
    std::fprintf(stderr, "the arrow was not painted\n");
    return 1;
  }
  run.Input().Press(1);
  // A first move, waited for, shows that the drag has begun.
  if (!WaitUntil(10s, [&] {
        run.Input().MoveTo(px + 1, py);
        run.Input().MoveTo(px, py);
        watch.CollectUntil(Clock::now() + 50ms);
        return !watch.Take().empty();
      })) {
    std::fprintf(stderr, "the arrow did not follow the pointer\n");
    return 1;
  }
  const Anchors press{px, r.x};
  // 2 pixels a motion: 300 motions cross 600 of the screen's 1920 pixels.
  const Figures fast = SteadyDrag(run, watch, press, px, py, motions, 1, 125);
  const Figures slow = SteadyDrag(run, watch, press, px, py, motions, -1, 60);
  run.Input().Release(1);
  Print(125, motions, fast);
  Print(60, motions, slow);
  std::printf("drag_lag_ms baseline=none (baseline.exe does not drag)\n");
  return 0;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
