// How far behind the input Quiverdart.exe's arrow lags under Wine, beside one 60 Hz frame
// (16.7 ms): during a steady drag, and after each wheel step that turns it, beside
// baseline.exe's turn of the same window in the same run. Prints figures and ratios;
// judges nothing.
//
//   drag_bench [--turns] [--motions N] [--steps N] [--turn-steps N] [--sizes 1,4,...]
//              [--screens 1920x1080,...]
//
// --turns: the turn table alone, without the drag and the default arrow's turns before it.
//
// Drag: the arrow is pressed in its inner area and dragged in a straight line by XTest
// motions of 2 pixels each, sent at a steady rate (125 Hz, then 60 Hz back the other way).
// For every motion the lag is the time from sending it to the ConfigureNotify at which the
// arrow's X window first stands at that motion's place or beyond. Moves that come within the
// 10 ms hold-off after a handled one are dropped, so the window catches up at the next
// handled move; the lag includes that wait. Motions the window never caught up with (the
// last ones, when the final move was dropped) are counted apart. baseline.exe does not
// drag: the drag has no floor here.
//
// Wheel: N steps forward (button 4), then N back (button 5), over the middle of the arrow's
// head, each 100 ms after the last one showed. Each lag is the time from the step to the
// ShapeNotify after which the window's X shape is the turned arrow's: the box round it that
// turn's. What each of the 24 turns looks like on X is learnt first, in one unmeasured round,
// from the shape that stays once Wine is done with a step. Wine sets the shape once per
// turn, after the moves.
//
// The turn table: --turn-steps forward steps (24: once round) at each size of --sizes
// (default 1, the default 4, 8, 12, 16, 20, 23, 24) on each screen of --screens (default
// 1920x1080 and 3840x2160), with sharp and with smooth edges ([Display] Edges=Smooth), at
// the default opacity. Each row is a fresh run of the program beside a fresh `baseline.exe
// turn` of the same size, edges and opacity: the same window, turned by a wheel notch with
// no rule of the program behind it (every turn's outline and image made before it shows),
// and a second `baseline.exe turn ... rules`, the same under the two rules the arrow keeps
// (no alpha blending while a translucent window's bounds and region change; one image of
// the window's size at a time), which cost the window system more and are not the
// program's to drop. The three take turns step by step, each step timed the same way;
// then each one's peak resident size (VmHWM) is read. A smooth row also gives what one
// image of its window, shown by `baseline.exe image W H`, costs beyond baseline.exe's plain
// window: the image and the window system's own copies of it in the process. With smooth
// edges Wine cuts the X shape from the image's alpha, so the same boxes tell when a turn
// shows. Wine 10 cuts short the X shape of a window wider or taller than the screen (past
// the left or top edge nothing of the arrow may show, and the steps miss it; elsewhere the
// box tells no turn): under it a row whose windows do not all fit the screen (at 1920x1080
// Sizes 23 and 24, at 3840x2160 from Size 20) starts at the first turn of the longest run
// of turns whose windows do, and steps forward to its end and back, round and round; the
// row's turns say which ("all" otherwise), and a row with no two such turns is not
// measured.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
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

// A window that turns at wheel steps, in a session of its own: the program's arrow or the
// baseline's.
struct Target {
  Session& s;
  Window window;
};

// Puts the pointer over the middle of the arrow's head, where a wheel step reaches the arrow
// whatever its turn, and lets the pause pass.
void AimAndPause(Target& t, ArrowWatch& watch, const ArrowPose& pose) {
  const auto [x, y] = OnScreen(pose, -3.5, 0);
  t.s.Input().MoveTo(x, y);
  const auto until = Clock::now() + kWheelPause;
  while (watch.Next(until)) {
  }
}

// The shape after a step once Wine is done with it: after a first change, none for 300 ms.
std::optional<Shape> SettledShape(Target& t, ArrowWatch& watch) {
  const auto deadline = Clock::now() + 10s;
  std::optional<ArrowWatch::Change> change;
  while ((change = watch.Next(deadline)) && !change->shape) {
  }
  if (!change) return std::nullopt;
  while (Clock::now() < deadline && watch.Next(Clock::now() + 300ms)) {
  }
  return t.s.X().ShapeRectangles(t.window);
}

// The box round each turn of the arrow on X, learnt in unmeasured forward steps from the
// pose's turn (kTurns of them: once round, back to it); the pose ends at the last turn.
// Nothing if a step did not change the shape.
std::optional<std::vector<Rect>> LearnBoxes(Target& t, ArrowWatch& watch, ArrowPose& pose,
                                            int steps = kTurns) {
  std::vector<Rect> boxes(kTurns);
  boxes[static_cast<std::size_t>(pose.orientation)] = Extents(t.s.X().ShapeRectangles(t.window));
  for (int i = 0; i < steps; ++i) {
    AimAndPause(t, watch, pose);
    t.s.Input().Wheel(1);
    const auto shape = SettledShape(t, watch);
    if (!shape || IsTurn(*shape, boxes[static_cast<std::size_t>(pose.orientation)])) {
      return std::nullopt;
    }
    pose.orientation = (pose.orientation + 1) % kTurns;
    boxes[static_cast<std::size_t>(pose.orientation)] = Extents(*shape);
  }
  return boxes;
}

// One wheel step in the direction (+1 forward, -1 back) after a pause: the time from the
// step to the turned shape on X. Nothing if the turn did not show within 10 s.
std::optional<double> TurnLag(Target& t, ArrowWatch& watch, const std::vector<Rect>& boxes,
                              ArrowPose& pose, int direction) {
  AimAndPause(t, watch, pose);
  const int turned = (pose.orientation + direction + kTurns) % kTurns;
  const auto sent = Clock::now();
  t.s.Input().Wheel(direction);
  std::optional<ArrowWatch::Change> change;
  while ((change = watch.Next(sent + 10s)) &&
         !(change->shape &&
           IsTurn(t.s.X().ShapeRectangles(t.window), boxes[static_cast<std::size_t>(turned)]))) {
  }
  if (!change) return std::nullopt;
  pose.orientation = turned;
  return Ms(change->at - sent);
}

// n wheel steps in the direction; nothing if a turn did not show.
std::optional<std::vector<double>> TurnLags(Target& t, ArrowWatch& watch,
                                            const std::vector<Rect>& boxes, ArrowPose& pose, int n,
                                            int direction) {
  std::vector<double> lags;
  for (int i = 0; i < n; ++i) {
    const auto lag = TurnLag(t, watch, boxes, pose, direction);
    if (!lag) return std::nullopt;
    lags.push_back(*lag);
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

struct Screen {
  int width;
  int height;
};

// baseline.exe in a session of its own, started with these arguments.
class BaselineRun {
 public:
  BaselineRun(const Screen& screen, const std::vector<std::string>& args)
      : session_(screen.width, screen.height),
        process_(
            session_.Launch(session_.Install(HelperPath("baseline.exe"), "baseline.exe"), args)) {
    if (const auto first = session_.X().WaitForFirstMap(kStartTimeout)) window_ = first->window;
  }
  Session& S() { return session_; }
  Window Arrow() const { return window_; }
  Process& Program() { return process_; }

 private:
  Session session_;
  Process process_;
  Window window_ = 0;
};

// baseline.exe's peak resident size with these arguments once its window has shown; -1 if
// it did not show.
long BaselinePeakKiB(const Screen& screen, const std::vector<std::string>& args) {
  BaselineRun run(screen, args);
  if (run.Arrow() == 0) return -1;
  WaitUntil(2s, [] { return false; });
  const auto pid = WindowsProcess(run.Program().Pid(), "baseline.exe");
  const auto use = pid ? Memory(*pid) : std::nullopt;
  return use ? use->peakKiB : -1;
}

// The turns a row steps through, from `first`: all of them (count kTurns), forward round
// and round; or a run of `count` turns, forward to its end and back, round and round.
struct Turns {
  int first = 0;
  int count = kTurns;
};

// Every turn, unless the Wine cuts short the shape of a window larger than the screen
// (there the shape's box tells no turn, and no wheel may reach the arrow): then the longest
// run of turns whose windows fit the screen; a count below 2 if there is none.
Turns SeenTurns(const Screen& screen, ArrowPose pose, bool cutsShapes) {
  if (!cutsShapes) return {};
  std::vector<bool> seen(kTurns);
  for (int o = 0; o < kTurns; ++o) {
    pose.orientation = o;
    const Rect b = ExpectedBounds(pose);
    seen[static_cast<std::size_t>(o)] = b.width <= screen.width && b.height <= screen.height;
  }
  if (std::find(seen.begin(), seen.end(), false) == seen.end()) return {};
  Turns best{0, 0};
  for (int first = 0; first < kTurns; ++first) {
    if (!seen[static_cast<std::size_t>(first)] ||
        seen[static_cast<std::size_t>((first + kTurns - 1) % kTurns)]) {
      continue;
    }
    int count = 0;
    while (seen[static_cast<std::size_t>((first + count) % kTurns)]) ++count;
    if (count > best.count) best = {first, count};
  }
  return best;
}

// One side of a row of the turn table: a window ready to turn, its steps' lags, its peak.
struct Turning {
  Turning(Target t, Process& p, const char* name, const ArrowPose& start, Turns run)
      : target(t), process(p), exe(name), pose(start), turns(run) {}

  Target target;
  Process& process;
  const char* exe;
  ArrowPose pose;
  Turns turns;
  int direction = 1;
  std::optional<ArrowWatch> watch;
  std::vector<Rect> boxes;
  std::vector<double> lags;
  long peakKiB = -1;

  // Waits for the first picture, so that the shape learnt for the first turn is the
  // arrow's, and learns the turns; false if the window did not show or a step did not turn
  // it.
  bool Ready() {
    if (target.window == 0) return false;
    watch.emplace(target.s.Screen().Display(), target.window);
    if (!WaitUntil(10s, [&] { return target.s.X().ShapeRectangles(target.window).size() > 1; })) {
      return false;
    }
    watch->CollectUntil(Clock::now() + 300ms);
    watch->Take();
    const bool round = turns.count == kTurns;
    auto learnt = LearnBoxes(target, *watch, pose, round ? kTurns : turns.count - 1);
    if (!learnt) return false;
    boxes = std::move(*learnt);
    if (!round) direction = -1;
    return true;
  }
  bool Step() {
    if (turns.count != kTurns) {
      const int at = (pose.orientation - turns.first + kTurns) % kTurns;
      if (at == 0) direction = 1;
      if (at == turns.count - 1) direction = -1;
    }
    const auto lag = TurnLag(target, *watch, boxes, pose, direction);
    if (lag) lags.push_back(*lag);
    return lag.has_value();
  }
  void ReadPeak() {
    if (const auto pid = WindowsProcess(process.Pid(), exe)) {
      if (const auto use = Memory(*pid)) peakKiB = use->peakKiB;
    }
  }
};

// The program's arrow at a size, with sharp or smooth edges, at the default opacity, and
// the baseline's window of the same size, edges and opacity (alpha 192), each turned by
// `steps` wheel steps through the turns the Wine shows, the two taking turns; a row of the
// table, or a line saying why it was not measured.
void TurnRow(const Screen& screen, int size, bool smooth, int steps, bool cutsShapes) {
  const char* edges = smooth ? "smooth" : "sharp";
  ArrowPose pose;
  pose.size = size;
  pose.baseUnit = std::max(std::max(screen.width, screen.height) / 512, 1);
  pose.tipX = screen.width / 2;
  pose.tipY = screen.height / 2;
  const auto notMeasured = [&](const char* why) {
    std::printf("wheel_turn_ms screen=%dx%d edges=%s size=%d not measured: %s\n", screen.width,
                screen.height, edges, size, why);
  };
  const Turns turns = SeenTurns(screen, pose, cutsShapes);
  if (turns.count < 2) return notMeasured("the Wine shows no two turns in a row");
  pose.orientation = turns.first;
  std::string settings = "[Pointer]\r\nSize=" + std::to_string(size) +
                         "\r\nOrientation=" + std::to_string(turns.first) + "\r\n";
  if (smooth) settings += "[Display]\r\nEdges=Smooth\r\n";
  ArrowRun run(screen.width, screen.height, settings);
  BaselineRun floor(screen,
                    {"turn", std::to_string(size), edges, "192", std::to_string(turns.first)});
  BaselineRun ruledFloor(
      screen, {"turn", std::to_string(size), edges, "192", std::to_string(turns.first), "rules"});
  Turning program{{run.S(), run.Arrow()}, run.Program(), "Quiverdart.exe", pose, turns};
  Turning baseline{{floor.S(), floor.Arrow()}, floor.Program(), "baseline.exe", pose, turns};
  Turning ruled{
      {ruledFloor.S(), ruledFloor.Arrow()}, ruledFloor.Program(), "baseline.exe", pose, turns};
  if (!program.Ready()) return notMeasured("a step did not turn the program's arrow");
  if (!baseline.Ready()) return notMeasured("a step did not turn the baseline's window");
  if (!ruled.Ready()) return notMeasured("a step did not turn the baseline's window (rules)");
  const std::array<Turning*, 3> sides{&program, &baseline, &ruled};
  for (int i = 0; i < steps; ++i) {
    // Each goes first in turn, so that none always follows another's step.
    for (std::size_t k = 0; k < sides.size(); ++k) {
      if (!sides[(static_cast<std::size_t>(i) + k) % sides.size()]->Step()) {
        return notMeasured("a turn did not show within 10 s");
      }
    }
  }
  for (Turning* side : sides) side->ReadPeak();
  const double p50 = Percentile(program.lags, 50);
  const double p95 = Percentile(program.lags, 95);
  const double floorP50 = Percentile(baseline.lags, 50);
  const double floorP95 = Percentile(baseline.lags, 95);
  const double rulesP50 = Percentile(ruled.lags, 50);
  const double rulesP95 = Percentile(ruled.lags, 95);
  pose.orientation = 0;
  const Rect window = ExpectedBounds(pose);
  // With smooth edges, what showing one image of the window costs a bare program beyond its
  // plain window: the image and what the window system keeps of it in the process.
  std::string imageFloor;
  if (smooth) {
    const long plain = BaselinePeakKiB(screen, {});
    const long image = BaselinePeakKiB(
        screen, {"image", std::to_string(window.width), std::to_string(window.height)});
    if (plain >= 0 && image >= 0) imageFloor = " image_floor_kib=" + std::to_string(image - plain);
  }
  const std::string turned = turns.count == kTurns
                                 ? "all"
                                 : std::to_string(turns.first) + "-" +
                                       std::to_string((turns.first + turns.count - 1) % kTurns);
  std::printf(
      "wheel_turn_ms screen=%dx%d edges=%s size=%d window=%dx%d turns=%s steps=%d p50=%.1f "
      "p95=%.1f floor_p50=%.1f floor_p95=%.1f frame=%.1f p95/floor_p95=%.2f p95/frame=%.2f "
      "rules_p50=%.1f rules_p95=%.1f p95/rules_p95=%.2f peak_kib=%ld floor_peak_kib=%ld "
      "rules_peak_kib=%ld%s\n",
      screen.width, screen.height, edges, size, window.width, window.height, turned.c_str(), steps,
      p50, p95, floorP50, floorP95, kFrameMs, p95 / floorP95, p95 / kFrameMs, rulesP50, rulesP95,
      p95 / rulesP95, program.peakKiB, baseline.peakKiB, ruled.peakKiB, imageFloor.c_str());
}

// "1,4,8" as numbers within [low, high]; nothing if any is not one.
std::optional<std::vector<int>> Numbers(const char* text, int low, int high) {
  std::vector<int> numbers;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const long n = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || n < low || n > high) return std::nullopt;
    numbers.push_back(static_cast<int>(n));
  }
  if (numbers.empty()) return std::nullopt;
  return numbers;
}

// "1920x1080,3840x2160"; nothing if any is not a size.
std::optional<std::vector<Screen>> Screens(const char* text) {
  std::vector<Screen> screens;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    Screen screen{};
    char rest = 0;
    if (std::sscanf(item.c_str(), "%dx%d%c", &screen.width, &screen.height, &rest) != 2 ||
        screen.width < 640 || screen.height < 480 || screen.width > 8192 || screen.height > 8192) {
      return std::nullopt;
    }
    screens.push_back(screen);
  }
  if (screens.empty()) return std::nullopt;
  return screens;
}

// The drag at both rates, then the wheel forward and back, at the default size on a
// 1920 x 1080 screen; 1 if the arrow did not show, follow or turn.
int DragAndWheel(int motions, int steps) {
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
  Target arrow{run.S(), run.Arrow()};
  const auto boxes = LearnBoxes(arrow, watch, pose);
  if (!boxes) {
    std::fprintf(stderr, "a wheel step did not turn the arrow\n");
    return 1;
  }
  const auto forward = TurnLags(arrow, watch, *boxes, pose, steps, 1);
  const auto back = forward ? TurnLags(arrow, watch, *boxes, pose, steps, -1) : std::nullopt;
  if (!back) {
    std::fprintf(stderr, "a turn did not show within 10 s\n");
    return 1;
  }
  PrintTurns("forward", *forward);
  PrintTurns("back", *back);

  return 0;
}

int Main(int argc, char** argv) {
  int motions = 300;
  int steps = 48;
  int turnSteps = 24;
  bool turnsOnly = false;
  std::vector<int> sizes = {1, 4, 8, 12, 16, 20, 23, 24};
  std::vector<Screen> screens = {{1920, 1080}, {3840, 2160}};
  for (int i = 1; i < argc; ++i) {
    const bool value = i + 1 < argc;
    std::optional<std::vector<int>> sizeList;
    std::optional<std::vector<Screen>> screenList;
    if (std::strcmp(argv[i], "--turns") == 0) {
      turnsOnly = true;
    } else if (std::strcmp(argv[i], "--motions") == 0 && value) {
      motions = std::clamp(std::atoi(argv[++i]), 1, 400);
    } else if (std::strcmp(argv[i], "--steps") == 0 && value) {
      steps = std::clamp(std::atoi(argv[++i]), 1, 240);
    } else if (std::strcmp(argv[i], "--turn-steps") == 0 && value) {
      turnSteps = std::clamp(std::atoi(argv[++i]), 1, 240);
    } else if (std::strcmp(argv[i], "--sizes") == 0 && value &&
               (sizeList = Numbers(argv[++i], 1, 24))) {
      sizes = *sizeList;
    } else if (std::strcmp(argv[i], "--screens") == 0 && value &&
               (screenList = Screens(argv[++i]))) {
      screens = *screenList;
    } else {
      std::fprintf(stderr,
                   "usage: drag_bench [--turns] [--motions N] [--steps N] [--turn-steps N] "
                   "[--sizes 1,4,...] [--screens 1920x1080,...]\n");
      return 2;
    }
  }
  if (!turnsOnly) {
    if (const int failed = DragAndWheel(motions, steps); failed != 0) return failed;
  }
  const bool cutsShapes = !WineShows(WineLimit::kLargerThanScreen);
  for (const Screen& screen : screens) {
    for (const int size : sizes) {
      for (const bool smooth : {false, true}) {
        TurnRow(screen, size, smooth, turnSteps, cutsShapes);
        // Each row as it comes: the table takes many minutes.
        std::fflush(stdout);
      }
    }
  }
  return 0;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
