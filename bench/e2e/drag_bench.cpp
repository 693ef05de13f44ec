// How far behind the input Quiverdart.exe's arrow lags under Wine, beside one 60 Hz frame
// (16.7 ms): during a steady drag, and after each wheel step that turns it. Prints figures
// and ratios; judges nothing.
//
//   drag_bench [--motions N] [--steps N]
//
// Drag: the arrow is pressed in its inner area and dragged in a straight line by XTest
// motions of 2 pixels each, sent at a steady rate (125 Hz, then 60 Hz back the other way).
// For every motion the lag is the time from sending it to the ConfigureNotify at which the
// arrow's X window first stands at that motion's place or beyond. Moves that come within the
// 10 ms hold-off after a handled one are dropped, so the window catches up at the next
// handled move; the lag includes that wait. Motions the window never caught up with (the
// last ones, when the final move was dropped) are counted apart.
//
// Wheel: N steps forward (button 4), then N back (button 5), over the middle of the arrow's
// head, each 100 ms after the last one showed. Each lag is the time from the step to the
// ShapeNotify after which the window's X shape is the turned arrow's: the box round it that
// turn's. What each of the 24 turns looks like on X is learnt first, in one unmeasured round,
// from the shape that stays once Wine is done with a step. Wine sets the shape once per
// turn, after the moves.
//
// The wheel steps are then measured again, forward only, in fresh runs, with sharp and with
// smooth edges ([Display] Edges=Smooth) at the default size, Size 23 and Size 24, the
// smooth figure beside the sharp one of its size from the same run. With smooth edges Wine
// cuts the X shape from the image's alpha, so the same boxes tell when a turn shows.
// Wine 10 cuts short the region of a window wider or taller than the screen that reaches
// past its left or top edge, so that the steps there miss the arrow: at Size 24 at every
// turn, at Size 23 at the turns that make it taller than the screen.
//
// baseline.exe shows the same kind of window but neither drags nor turns, so there is no
// floor to measure against here.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"

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

// The arrow's X window's moves and shape changes, with the time each arrived, read on a
// connection of its own so that the times are those of arrival.
class ArrowWatch {
 public:
  ArrowWatch(const std::string& display, Window window) : window_(window) {
    display_ = XOpenDisplay(display.c_str());
    int shapeErrors = 0;
    if (display_ == nullptr || !XShapeQueryExtension(display_, &shapeEvents_, &shapeErrors)) {
      std::fprintf(stderr, "cannot watch %s\n", display.c_str());
      std::exit(1);
    }
    XSelectInput(display_, window_, StructureNotifyMask);
    XShapeSelectInput(display_, window_, ShapeNotifyMask);
    XSync(display_, False);
  }
  ~ArrowWatch() { XCloseDisplay(display_); }
  ArrowWatch(const ArrowWatch&) = delete;
  ArrowWatch& operator=(const ArrowWatch&) = delete;

  struct Change {
    Clock::time_point at;
    bool shape;  // false: a move
    int x;       // where a move put the window's left edge
  };

  // The next move or change of the bounding shape that arrives before the given time.
  std::optional<Change> Next(Clock::time_point until) {
    const int fd = ConnectionNumber(display_);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto now = Clock::now();
        if (event.type == ConfigureNotify && event.xconfigure.window == window_) {
          return Change{now, false, event.xconfigure.x};
        }
        if (event.type == shapeEvents_ + ShapeNotify) {
          const auto& e = reinterpret_cast<const XShapeEvent&>(event);
          if (e.window == window_ && e.kind == ShapeBounding) return Change{now, true, 0};
        }
      }
      if (!WaitReadable(fd, until)) return std::nullopt;
    }
  }

  // Collects the moves that arrive until the given time.
  void CollectUntil(Clock::time_point until) {
    while (const auto change = Next(until)) {
      if (!change->shape) moves_.push_back({change->at, change->x});
    }
  }

  struct Move {
    Clock::time_point at;
    int x;
  };
  std::vector<Move> Take() { return std::exchange(moves_, {}); }

 private:
  ::Display* display_ = nullptr;
  Window window_;
  int shapeEvents_ = 0;
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
Figures SteadyDrag(ArrowRun& run, ArrowWatch& watch, const Anchors& press, int& px, int py, int n,
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

constexpr int kTurns = 24;  // a wheel step turns the arrow by 15 degrees
constexpr auto kWheelPause = 100ms;

using Shape = std::vector<Rect>;

// The box round a shape's rectangles.
Rect Extents(const Shape& shape) {
  if (shape.empty()) return {};
  int left = shape[0].x;
  int top = shape[0].y;
  int right = left;
  int bottom = top;
  for (const Rect& r : shape) {
    left = std::min(left, r.x);
    top = std::min(top, r.y);
    right = std::max(right, r.x + r.width);
    bottom = std::max(bottom, r.y + r.height);
  }
  return {left, top, right - left, bottom - top};
}

// Whether a shape is the arrow at the turn whose box was learnt. Wine 10 cuts the same
// smooth picture into other rectangles from one showing to the next, so a turn is told by
// the box round its shape (no two neighbouring turns share one) over more than one
// rectangle (the window's plain box while Wine is between shapes).
bool IsTurn(const Shape& shape, const Rect& learnt) {
  return shape.size() > 1 && Extents(shape) == learnt;
}

// Puts the pointer over the middle of the arrow's head, where a wheel step reaches the arrow
// whatever its turn, and lets the pause pass.
void AimAndPause(ArrowRun& run, ArrowWatch& watch, const ArrowPose& pose) {
  const auto [x, y] = OnScreen(pose, -3.5, 0);
  run.Input().MoveTo(x, y);
  const auto until = Clock::now() + kWheelPause;
  while (watch.Next(until)) {
  }
}

// The shape after a step once Wine is done with it: after a first change, none for 300 ms.
std::optional<Shape> SettledShape(ArrowRun& run, ArrowWatch& watch) {
  const auto deadline = Clock::now() + 10s;
  std::optional<ArrowWatch::Change> change;
  while ((change = watch.Next(deadline)) && !change->shape) {
  }
  if (!change) return std::nullopt;
  while (Clock::now() < deadline && watch.Next(Clock::now() + 300ms)) {
  }
  return run.X().ShapeRectangles(run.Arrow());
}

// The box round each turn of the arrow on X, learnt in one unmeasured round of forward
// steps from turn 0 back to it; nothing if a step did not change the shape.
std::optional<std::vector<Rect>> LearnBoxes(ArrowRun& run, ArrowWatch& watch, ArrowPose pose) {
  std::vector<Rect> boxes(kTurns);
  boxes[0] = Extents(run.X().ShapeRectangles(run.Arrow()));
  for (int turn = 1; turn <= kTurns; ++turn) {
    pose.orientation = turn - 1;
    AimAndPause(run, watch, pose);
    run.Input().Wheel(1);
    const auto shape = SettledShape(run, watch);
    if (!shape || IsTurn(*shape, boxes[static_cast<std::size_t>(turn - 1)])) return std::nullopt;
    boxes[static_cast<std::size_t>(turn % kTurns)] = Extents(*shape);
  }
  return boxes;
}

// Gives n wheel steps in the direction (+1 forward, -1 back), each after a pause; the time
// from each step to the turned shape on X. Nothing if a turn did not show within 10 s.
std::optional<std::vector<double>> TurnLags(ArrowRun& run, ArrowWatch& watch,
                                            const std::vector<Rect>& boxes, ArrowPose& pose, int n,
                                            int direction) {
  std::vector<double> lags;
  for (int i = 0; i < n; ++i) {
    AimAndPause(run, watch, pose);
    const int turned = (pose.orientation + direction + kTurns) % kTurns;
    const auto sent = Clock::now();
    run.Input().Wheel(direction);
    std::optional<ArrowWatch::Change> change;
    while ((change = watch.Next(sent + 10s)) &&
           !(change->shape && IsTurn(run.X().ShapeRectangles(run.Arrow()),
                                     boxes[static_cast<std::size_t>(turned)]))) {
    }
    if (!change) return std::nullopt;
    lags.push_back(Ms(change->at - sent));
    pose.orientation = turned;
  }
  return lags;
}

void PrintTurns(const char* direction, const std::vector<double>& lags) {
  const double median = Percentile(lags, 50);
  const double p95 = Percentile(lags, 95);
  std::printf(
      "wheel_turn_ms direction=%s steps=%zu median=%.1f p95=%.1f frame=%.1f ratio_median=%.2f "
      "ratio_p95=%.2f\n",
      direction, lags.size(), median, p95, kFrameMs, median / kFrameMs, p95 / kFrameMs);
}

// Forward wheel steps in a fresh run at a size, with sharp or smooth edges; the p95 lag, or
// nothing if the arrow did not show or turn.
std::optional<double> TurnP95(int size, bool smooth, int steps) {
  std::string settings = "[Pointer]\r\nSize=" + std::to_string(size) + "\r\n";
  if (smooth) settings += "[Display]\r\nEdges=Smooth\r\n";
  ArrowRun run(1920, 1080, settings);
  if (run.Arrow() == 0) return std::nullopt;
  ArrowWatch watch(run.S().Screen().Display(), run.Arrow());
  ArrowPose pose;
  pose.size = size;
  // The first picture shown, so that the shape learnt for turn 0 is the arrow's.
  if (!WaitUntil(10s, [&] { return run.X().ShapeRectangles(run.Arrow()).size() > 1; })) {
    return std::nullopt;
  }
  watch.CollectUntil(Clock::now() + 300ms);
  watch.Take();
  const auto boxes = LearnBoxes(run, watch, pose);
  if (!boxes) return std::nullopt;
  const auto lags = TurnLags(run, watch, *boxes, pose, steps, 1);
  if (!lags) return std::nullopt;
  const double p95 = Percentile(*lags, 95);
  std::printf("wheel_turn_ms edges=%s size=%d steps=%zu median=%.1f p95=%.1f frame=%.1f\n",
              smooth ? "smooth" : "sharp", size, lags->size(), Percentile(*lags, 50), p95,
              kFrameMs);
  return p95;
}

int Main(int argc, char** argv) {
  int motions = 300;
  int steps = 48;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--motions") == 0 && i + 1 < argc) {
      motions = std::clamp(std::atoi(argv[++i]), 1, 400);
    } else if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
      steps = std::clamp(std::atoi(argv[++i]), 1, 240);
    } else {
      std::fprintf(stderr, "usage: drag_bench [--motions N] [--steps N]\n");
      return 2;
    }
  }
  ArrowRun run(1920, 1080);
  if (run.Arrow() == 0) {
    std::fprintf(stderr, "the arrow did not show\n");
    return 1;
  }
  ArrowWatch watch(run.S().Screen().Display(), run.Arrow());
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
  // A first move, waited for, shows that the drag has begun. One motion at a time: the
  // drag follows where the pointer is when a move is handled, so a motion and its way back
  // sent together may move nothing.
  int nudge = 1;
  if (!WaitUntil(10s, [&] {
        run.Input().MoveTo(px + nudge, py);
        nudge = 1 - nudge;
        watch.CollectUntil(Clock::now() + 50ms);
        return !watch.Take().empty();
      })) {
    std::fprintf(stderr, "the arrow did not follow the pointer\n");
    return 1;
  }
  px += 1 - nudge;
  // The press is anchored where the pointer was when the program took it: the settled
  // window gives the anchors.
  watch.CollectUntil(Clock::now() + 100ms);
  watch.Take();
  const Anchors press{px, run.Now().x};
  // 2 pixels a motion: 300 motions cross 600 of the screen's 1920 pixels.
  const Figures fast = SteadyDrag(run, watch, press, px, py, motions, 1, 125);
  const Figures slow = SteadyDrag(run, watch, press, px, py, motions, -1, 60);
  run.Input().Release(1);
  Print(125, motions, fast);
  Print(60, motions, slow);
  watch.CollectUntil(Clock::now() + 500ms);
  watch.Take();

  // The drag may leave the arrow a little off its start (a dropped last move): the tip is
  // where the window puts it.
  ArrowPose pose;
  const Rect unturned = ExpectedBounds(pose);
  const Rect now = run.Now();
  pose.tipX += now.x - unturned.x;
  pose.tipY += now.y - unturned.y;
  const auto boxes = LearnBoxes(run, watch, pose);
  if (!boxes) {
    std::fprintf(stderr, "a wheel step did not turn the arrow\n");
    return 1;
  }
  const auto forward = TurnLags(run, watch, *boxes, pose, steps, 1);
  const auto back = forward ? TurnLags(run, watch, *boxes, pose, steps, -1) : std::nullopt;
  if (!back) {
    std::fprintf(stderr, "a turn did not show within 10 s\n");
    return 1;
  }
  PrintTurns("forward", *forward);
  PrintTurns("back", *back);

  bool allShown = true;
  for (const int size : {4, 23, 24}) {
    const auto sharp = TurnP95(size, false, steps);
    const auto smooth = TurnP95(size, true, steps);
    if (!sharp || !smooth) {
      std::printf("wheel_turn_ms size=%d not measured: a turn did not show\n", size);
      allShown = false;
      continue;
    }
    std::printf("wheel_turn_ms size=%d smooth_p95/sharp_p95=%.2f smooth_p95/frame=%.2f\n", size,
                *smooth / *sharp, *smooth / kFrameMs);
  }
  std::printf("drag_lag_ms wheel_turn_ms baseline=none (baseline.exe neither drags nor turns)\n");
  return allShown ? 0 : 1;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
