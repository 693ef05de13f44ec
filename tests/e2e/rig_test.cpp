// The rig checked against the baseline program, whose window is known exactly, and against
// a plain X window of its own. If these fail, the program's end-to-end results mean nothing.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <signal.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "arrow_shape.h"
#include "baseline_shape.h"
#include "session.h"

namespace qd::e2e {
namespace {

namespace bl = qd::baseline;

struct ScreenSize {
  int width;
  int height;
};

Rect BaselineBounds(const ScreenSize& screen) {
  return {screen.width / 2 - bl::kTip.x, screen.height / 2 - bl::kTip.y, bl::kWidth,
          bl::kHeight};
}

// Window-relative points well inside the outline (away from its edges) and just outside it.
const std::vector<std::pair<int, int>> kInside = {{45, 15}, {33, 6}, {33, 24}, {10, 15}};
const std::vector<std::pair<int, int>> kOutside = {{1, 1}, {58, 2}, {1, 29}, {58, 28},
                                                   {15, 6}, {15, 24}};

class BaselineSession {
 public:
  explicit BaselineSession(ScreenSize screen, const std::vector<std::string>& args = {})
      : BaselineSession(std::vector<Rect>{Rect{0, 0, screen.width, screen.height}}, args) {}
  explicit BaselineSession(const std::vector<Rect>& monitors,
                           const std::vector<std::string>& args = {})
      : session_(monitors) {
    const std::string path = session_.Install(HelperPath("baseline.exe"), "baseline.exe");
    process_.emplace(session_.Launch(path, args));
    first_ = session_.X().WaitForFirstMap(kStartTimeout);
  }
  Session& S() { return session_; }
  Process& Program() { return *process_; }
  const std::optional<Shown>& First() const { return first_; }
  // In Windows coordinates, on the primary monitor.
  Rect Bounds() { return BaselineBounds({session_.Screen().Width(), session_.Screen().Height()}); }

  // Waits a little for the window to be listed: the tests call this right after X mapped it.
  std::optional<ProbeWindow> ProbeBaseline(const std::vector<std::pair<int, int>>& points) {
    std::optional<ProbeWindow> found;
    WaitUntil(10s, [&] {
      for (const auto& w : session_.WinProbe().Windows("baseline.exe", points)) {
        if (w.className == "QuiverdartBaseline") found = w;
      }
      return found.has_value();
    });
    return found;
  }

 private:
  Session session_;
  std::optional<Process> process_;
  std::optional<Shown> first_;
};

class RigBaselineScreen : public testing::TestWithParam<ScreenSize> {};

TEST_P(RigBaselineScreen, SeesTheShapedTopMostWindowWhereItIsPut) {
  BaselineSession b(GetParam());
  ASSERT_TRUE(b.First()) << "no window mapped";
  EXPECT_EQ(b.First()->geometry, b.Bounds());
  for (const Shown& shown : b.S().X().History()) {
    EXPECT_EQ(shown.geometry, b.Bounds()) << "window " << shown.window << " showed elsewhere";
  }
  const auto geometry = b.S().X().Geometry(b.First()->window);
  ASSERT_TRUE(geometry);
  EXPECT_EQ(*geometry, b.Bounds());

  if (WineShows(WineLimit::kTopMostOnBareX)) {
    const auto state = b.S().X().NetWmState(b.First()->window);
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE"), state.end());
  }

  int visible = 0;
  for (const MappedWindow& w : b.S().X().MappedWindows()) {
    if (w.geometry.width <= 1 && w.geometry.height <= 1) continue;
    ++visible;
    EXPECT_EQ(w.window, b.First()->window);
    EXPECT_EQ(w.geometry, b.Bounds());
    EXPECT_EQ(w.name, "Baseline");
  }
  EXPECT_EQ(visible, 1);

  const Rgb fill = Rgb::FromColorRef(bl::kColor);
  const Rect r = b.Bounds();
  const bool painted = WaitUntil(10s, [&] {
    return std::all_of(kInside.begin(), kInside.end(), [&](auto p) {
      return b.S().X().Pixel(r.x + p.first, r.y + p.second) == fill;
    });
  });
  for (auto [x, y] : kInside) {
    EXPECT_EQ(b.S().X().Pixel(r.x + x, r.y + y), fill) << "inside at " << x << "," << y;
  }
  ASSERT_TRUE(painted);
  for (auto [x, y] : kOutside) {
    EXPECT_EQ(b.S().X().Pixel(r.x + x, r.y + y), XScreen::Background())
        << "outside at " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, RigBaselineScreen,
                         testing::Values(ScreenSize{1920, 1080}, ScreenSize{1365, 768},
                                         ScreenSize{3840, 2160}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

// `baseline.exe turn` shows the window the arrow has at a size and orientation, with sharp
// or smooth edges, and a wheel notch turns it as a notch turns the arrow, past the last
// orientation to the first and back: the floor the drag bench measures the program's turns
// against is the same window. Under the arrow's rules, smooth, each turn's image is made
// anew in the memory of the last.
class RigBaselineTurn : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(RigBaselineTurn, IsTheArrowsWindowTurnedByTheWheel) {
  std::vector<std::string> args{"turn", "12", GetParam().front(), "255", "23"};
  args.insert(args.end(), GetParam().begin() + 1, GetParam().end());
  BaselineSession b({3840, 2160}, args);
  ASSERT_TRUE(b.First());
  ArrowPose pose;
  pose.baseUnit = 7;
  pose.size = 12;
  pose.orientation = 23;
  pose.tipX = 1920;
  pose.tipY = 1080;
  EXPECT_EQ(b.First()->geometry, ExpectedBounds(pose));
  const Rgb fill = Rgb::FromColorRef(bl::kColor);
  for (const int direction : {1, 1, -1}) {
    const auto [x, y] = OnScreen(pose, -3.5, 0);
    b.S().Input().MoveTo(x, y);
    b.S().Input().Wheel(direction);
    pose.orientation = (pose.orientation + direction + 24) % 24;
    const Rect expected = ExpectedBounds(pose);
    ASSERT_TRUE(WaitUntil(10s, [&] { return b.S().X().Geometry(b.First()->window) == expected; }))
        << "at " << b.S().X().Geometry(b.First()->window).value_or(Rect{}) << ", expected "
        << expected << " for orientation " << pose.orientation;
    // The fill well inside the outline, the screen beside it (nothing left of an earlier turn).
    const auto shows = [&](const std::vector<std::pair<double, double>>& points, Rgb colour) {
      return std::all_of(points.begin(), points.end(), [&](const auto& p) {
        const auto [px, py] = OnScreen(pose, p.first, p.second);
        return b.S().X().Pixel(px, py) == colour;
      });
    };
    EXPECT_TRUE(WaitUntil(10s,
                          [&] {
                            return shows(InsidePoints(), fill) &&
                                   shows(OutsidePoints(), XScreen::Background());
                          }))
        << "orientation " << pose.orientation;
  }
}

INSTANTIATE_TEST_SUITE_P(Edges, RigBaselineTurn,
                         testing::Values(std::vector<std::string>{"sharp"},
                                         std::vector<std::string>{"smooth"},
                                         std::vector<std::string>{"smooth", "rules"}),
                         [](const auto& info) {
                           std::string name;
                           for (const std::string& word : info.param) name += word;
                           return name;
                         });

TEST(RigBaseline, ProbeReadsRectStylesAndRegion) {
  BaselineSession b({1920, 1080});
  ASSERT_TRUE(b.First());
  std::vector<std::pair<int, int>> points = kInside;
  points.insert(points.end(), kOutside.begin(), kOutside.end());
  const auto w = b.ProbeBaseline(points);
  ASSERT_TRUE(w) << "probe did not find the baseline window";
  const Rect r = b.Bounds();
  EXPECT_EQ(w->rect, (WinRect{r.x, r.y, r.x + r.width, r.y + r.height}));
  EXPECT_TRUE(w->visible);
  EXPECT_EQ(w->style & kWsPopup, kWsPopup);
  EXPECT_EQ(w->exStyle & kWsExTopmost, kWsExTopmost);
  EXPECT_FALSE(w->layered);
  EXPECT_FALSE(w->alpha);
  EXPECT_EQ(w->title, "Baseline");
  EXPECT_EQ(w->region, "complex");
  for (auto p : kInside) EXPECT_TRUE(w->inRegion.at(p)) << p.first << "," << p.second;
  for (auto p : kOutside) EXPECT_FALSE(w->inRegion.at(p)) << p.first << "," << p.second;
}

TEST(RigBaseline, LayeredAlphaReachesProbeAndX) {
  BaselineSession b({1920, 1080}, {"192"});
  ASSERT_TRUE(b.First());
  const auto w = b.ProbeBaseline({});
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->layered);
  ASSERT_TRUE(w->alpha);
  EXPECT_EQ(*w->alpha, 192u);
  EXPECT_EQ(w->lwaFlags.value_or(0), 2u);  // LWA_ALPHA
  std::optional<std::uint32_t> opacity;
  EXPECT_TRUE(WaitUntil(10s, [&] { return (opacity = b.S().X().Opacity(b.First()->window)); }));
  EXPECT_EQ(opacity.value_or(0), 192u * 0x01010101u);
}

// Without a window manager Wine leaves a minimised window mapped on X (its Win32 rectangle
// moves to -32000), so the minimised state is read through the probe.
TEST(RigBaseline, MinimiseAndRestoreThroughProbe) {
  BaselineSession b({1920, 1080});
  ASSERT_TRUE(b.First());
  const auto w = b.ProbeBaseline({});
  ASSERT_TRUE(w);
  ASSERT_FALSE(w->minimized);
  const WinRect shown = w->rect;
  ASSERT_TRUE(b.S().WinProbe().PostMinimize(w->hwnd));
  EXPECT_TRUE(WaitUntil(10s, [&] {
    const auto now = b.ProbeBaseline({});
    return now && now->minimized;
  }));
  ASSERT_TRUE(b.S().WinProbe().PostRestore(w->hwnd));
  std::optional<ProbeWindow> restored;
  EXPECT_TRUE(WaitUntil(10s, [&] {
    restored = b.ProbeBaseline({});
    return restored && !restored->minimized;
  }));
  ASSERT_TRUE(restored);
  EXPECT_EQ(restored->rect, shown);
  EXPECT_EQ(b.S().X().Geometry(b.First()->window), b.Bounds());
}

// 32 or 64 for the ELF file a process runs, 0 if it cannot be read.
int ElfBits(pid_t pid) {
  std::ifstream exe("/proc/" + std::to_string(pid) + "/exe", std::ios::binary);
  char header[5] = {};
  if (!exe.read(header, sizeof header) || std::string(header, 4) != "\177ELF") return 0;
  return header[4] == 2 ? 64 : header[4] == 1 ? 32 : 0;
}

// The process the rig measures is the program's own, also where the started loader runs the
// exe as another process (WoW64), and it runs on the loader asked for: a 32-bit Wine in the
// root would take the 32-bit exe over from WoW64. Ending that process ends the program. With
// arguments, so that start.exe's rewritten command line is long enough to name the exe.
TEST(RigBaseline, FindsTheProgramsOwnProcess) {
  BaselineSession b({1920, 1080}, {"image", "200", "100"});
  ASSERT_TRUE(b.First());
  const auto pid = WindowsProcess(b.Program().Pid(), "baseline.exe");
  ASSERT_TRUE(pid);
  // Wine's 64-bit loader runs the 32-bit exe in a 64-bit process, with no 32-bit Unix code.
  EXPECT_EQ(ElfBits(*pid), Target().loader64 ? 64 : 32);
  // The exe is mapped into its own process, never into the start.exe that started it, whose
  // command line names it too: what is measured of that one is Wine's alone.
  std::ifstream maps("/proc/" + std::to_string(*pid) + "/maps");
  const std::string mapped{std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>()};
  EXPECT_NE(mapped.find("baseline.exe"), std::string::npos) << "not the exe's own process";
  kill(*pid, SIGKILL);
  EXPECT_TRUE(b.S().X().WaitForUnmap(b.First()->window, 10s)) << "the window outlived the process";
  EXPECT_TRUE(b.Program().WaitFor(kExitTimeout)) << "the launch outlived the program";
}

TEST(RigBaseline, CursorImageFollowsThePointer) {
  BaselineSession b({1920, 1080});
  ASSERT_TRUE(b.First());
  b.S().Input().MoveTo(5, 5);
  const auto overRoot = b.S().X().Cursor();
  ASSERT_TRUE(overRoot);
  EXPECT_GT(overRoot->width, 0);
  const Rect r = b.Bounds();
  b.S().Input().MoveTo(r.x + 45, r.y + 15);
  // Wine sets the window's cursor once the pointer is over it.
  std::optional<CursorImage> overWindow;
  EXPECT_TRUE(WaitUntil(10s, [&] {
    overWindow = b.S().X().Cursor();
    return overWindow && overWindow->argb != overRoot->argb;
  }));
  ASSERT_TRUE(overWindow);
  EXPECT_GT(overWindow->width, 0);
  EXPECT_LT(overWindow->xHot, overWindow->width);
  EXPECT_LT(overWindow->yHot, overWindow->height);
}

struct CloseWay {
  const char* name;
  std::function<void(BaselineSession&)> ask;
};

class RigBaselineClose : public testing::TestWithParam<CloseWay> {};

TEST_P(RigBaselineClose, EndsWithExitCodeZero) {
  BaselineSession b({1920, 1080});
  ASSERT_TRUE(b.First());
  GetParam().ask(b);
  const auto status = b.Program().WaitFor(kExitTimeout);
  ASSERT_TRUE(status) << "still running";
  EXPECT_TRUE(status->exited);
  EXPECT_EQ(status->code, 0);
  EXPECT_TRUE(b.S().X().WaitForUnmap(b.First()->window, 5s));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, RigBaselineClose,
    testing::Values(CloseWay{"WmCloseFromProbe",
                             [](BaselineSession& b) {
                               const auto w = b.ProbeBaseline({});
                               ASSERT_TRUE(w);
                               ASSERT_TRUE(b.S().WinProbe().PostClose(w->hwnd));
                             }},
                    CloseWay{"AltF4",
                             [](BaselineSession& b) {
                               const Rect r = b.Bounds();
                               b.S().Input().MoveTo(r.x + 45, r.y + 15);
                               b.S().Input().Key(XK_F4, kAlt);
                             }}),
    [](const auto& info) { return std::string(info.param.name); });

// A presenter's two monitors: the laptop's own, primary, and a projector of 1280 x 720
// beside or above it (Windows coordinates; left of or above the primary is negative).
struct MonitorLayout {
  const char* name;
  Rect second;
};

const Rect kPrimary{0, 0, 1920, 1080};
const std::string kPrimaryDevice = "\\\\.\\DISPLAY1";
const std::string kSecondDevice = "\\\\.\\DISPLAY2";

WinRect Corners(const Rect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

// With no window manager, a monitor's work area is all of it.
ProbeMonitor Listed(const std::string& device, const Rect& r, bool primary) {
  return {device, Corners(r), Corners(r), primary};
}

// The X root's size as the server has it now (Xlib's own figures stay those of the start).
std::pair<unsigned, unsigned> RootSize(::Display* display) {
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border,
               &depth);
  return {width, height};
}

class RigMonitors : public testing::TestWithParam<MonitorLayout> {};

TEST_P(RigMonitors, WineListsBothAndSeesTheSecondSwitchedOffAndOn) {
  const Rect second = GetParam().second;
  BaselineSession b({kPrimary, second});
  ASSERT_TRUE(b.First()) << "no window mapped";
  const Probe& probe = b.S().WinProbe();
  const VirtualScreen& screen = b.S().Screen();
  ::Display* x = b.S().X().Connection();
  // X's 0,0 is the top-left corner of both monitors together, Windows' the primary's.
  const Rect r = b.Bounds();
  EXPECT_EQ(b.First()->geometry,
            (Rect{screen.XFromWindowsX(r.x), screen.YFromWindowsY(r.y), r.width, r.height}));
  const std::vector<ProbeMonitor> both = {Listed(kPrimaryDevice, kPrimary, true),
                                          Listed(kSecondDevice, second, false)};
  EXPECT_EQ(probe.Monitors(), both);
  const auto bothSize = RootSize(x);

  const auto title = [&b] {
    const auto w = b.ProbeBaseline({});
    return w ? w->title : std::string();
  };
  const std::optional<bool> off = probe.SwitchMonitorOff(kSecondDevice);
  if (!off) return;
  ASSERT_TRUE(*off)
      << "ChangeDisplaySettingsEx failed; a 32-bit Wine needs libxrandr2:i386 for it";
  EXPECT_EQ(probe.Monitors(), std::vector<ProbeMonitor>{Listed(kPrimaryDevice, kPrimary, true)});
  EXPECT_EQ(RootSize(x), std::make_pair(1920u, 1080u));
  // One message per change, with the primary's size.
  EXPECT_TRUE(WaitUntil(10s, [&] { return title() == "Baseline, display change 1: 1920x1080"; }))
      << title();

  ASSERT_TRUE(probe.SwitchMonitorOn(kSecondDevice, Corners(second)));
  EXPECT_EQ(probe.Monitors(), both);
  EXPECT_EQ(RootSize(x), bothSize);
  EXPECT_TRUE(WaitUntil(10s, [&] { return title() == "Baseline, display change 2: 1920x1080"; }))
      << title();
}

INSTANTIATE_TEST_SUITE_P(Layouts, RigMonitors,
                         testing::Values(MonitorLayout{"Right", {1920, 0, 1280, 720}},
                                         MonitorLayout{"Left", {-1280, 0, 1280, 720}},
                                         MonitorLayout{"Above", {0, -720, 1280, 720}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A system-wide hotkey as a presenter presses it: Ctrl+Alt+F8 with the pointer on the second
// monitor, over no window. It reaches the program holding it while a Wine window has the
// keyboard; a combination already held is refused to a second program.
TEST(RigHotKey, ReachesItsHolderAndIsRefusedToASecond) {
  constexpr unsigned kModCtrlAlt = 0x0003;  // MOD_ALT | MOD_CONTROL
  constexpr unsigned kVkF8 = 0x77;
  BaselineSession b({kPrimary, {1920, 0, 1280, 720}});
  ASSERT_TRUE(b.First()) << "no window mapped";
  auto held = b.S().WinProbe().HoldHotKey(kModCtrlAlt, kVkF8);
  ASSERT_TRUE(held) << "the hotkey was refused";
  EXPECT_FALSE(b.S().WinProbe().HoldHotKey(kModCtrlAlt, kVkF8));
  b.S().Input().Focus(b.First()->window);
  b.S().Input().MoveTo(b.S().Screen().XFromWindowsX(2500), b.S().Screen().YFromWindowsY(300));
  b.S().Input().Key(XK_F8, kCtrl | kAlt);
  EXPECT_TRUE(WaitUntil(10s, [&] { return held->Presses() == 1; })) << held->Presses();
  EXPECT_TRUE(held->Release());
}

// XTest input against a plain X window: what the rig sends is what a window receives.
struct InputCase {
  const char* name;
  std::function<void(XInput&, int x, int y)> send;
  int type;            // X event type expected
  unsigned detail;     // button number or keysym
  unsigned stateMask;  // modifier bits that must be set in the event's state
  int count;           // how many such events
};

class RigInput : public testing::TestWithParam<InputCase> {};

TEST_P(RigInput, ReachesTheWindowUnderThePointer) {
  VirtualScreen screen(640, 480);
  XScreen x(screen.Display());
  ::Display* d = x.Connection();
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 200, 100, 0, 0, 0);
  XSelectInput(d, window,
               ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   StructureNotifyMask);
  XMapWindow(d, window);
  XSync(d, False);
  XEvent event;
  ASSERT_TRUE(WaitUntil(5s, [&] {
    return XCheckTypedWindowEvent(d, window, MapNotify, &event) == True;
  }));
  XInput input(d);
  input.MoveTo(150, 120);  // focus follows the pointer without a window manager
  XSync(d, True);          // only the events of the case itself count
  GetParam().send(input, 150, 130);
  int seen = 0;
  WaitUntil(2s, [&] {
    while (XCheckWindowEvent(d, window, ButtonPressMask | PointerMotionMask | KeyPressMask,
                             &event)) {
      if (event.type != GetParam().type) continue;
      unsigned detail = 0;
      unsigned state = 0;
      if (event.type == ButtonPress) {
        detail = event.xbutton.button;
        state = event.xbutton.state;
      } else if (event.type == KeyPress) {
        detail = static_cast<unsigned>(XLookupKeysym(&event.xkey, 0));
        state = event.xkey.state;
      } else {
        EXPECT_EQ(event.xmotion.x, 50);
        EXPECT_EQ(event.xmotion.y, 30);
        state = event.xmotion.state;
      }
      if (detail == GetParam().detail && (state & GetParam().stateMask) == GetParam().stateMask) {
        ++seen;
      }
    }
    return seen >= GetParam().count;
  });
  EXPECT_EQ(seen, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RigInput,
    testing::Values(
        InputCase{"Motion", [](XInput& in, int x, int y) { in.MoveTo(x, y); }, MotionNotify, 0, 0,
                  1},
        InputCase{"LeftClick", [](XInput& in, int, int) { in.Click(1); }, ButtonPress, 1, 0, 1},
        InputCase{"MiddleClick", [](XInput& in, int, int) { in.Click(2); }, ButtonPress, 2, 0, 1},
        InputCase{"RightClick", [](XInput& in, int, int) { in.Click(3); }, ButtonPress, 3, 0, 1},
        InputCase{"ShiftWheelUp", [](XInput& in, int, int) { in.Wheel(1, kShift); }, ButtonPress,
                  4, ShiftMask, 1},
        InputCase{"CtrlWheelDownTwice", [](XInput& in, int, int) { in.Wheel(-2, kCtrl); },
                  ButtonPress, 5, ControlMask, 2},
        InputCase{"AltWheelUp", [](XInput& in, int, int) { in.Wheel(1, kAlt); }, ButtonPress, 4,
                  Mod1Mask, 1},
        InputCase{"DoubleClick", [](XInput& in, int, int) { in.DoubleClick(1); }, ButtonPress, 1,
                  0, 2},
        InputCase{"AltF4", [](XInput& in, int, int) { in.Key(XK_F4, kAlt); }, KeyPress, XK_F4,
                  Mod1Mask, 1},
        InputCase{"CtrlShiftLeft", [](XInput& in, int, int) { in.Key(XK_Left, kCtrl | kShift); },
                  KeyPress, XK_Left, ControlMask | ShiftMask, 1},
        InputCase{"DragWithLeftHeld",
                  [](XInput& in, int x, int y) {
                    in.Press(1);
                    in.MoveTo(x, y);
                    in.Release(1);
                  },
                  MotionNotify, 0, Button1Mask, 1},
        InputCase{"ShiftHeldOverAClick",
                  [](XInput& in, int, int) {
                    in.KeyDown(XK_Shift_L);
                    in.Click(1);
                    in.KeyUp(XK_Shift_L);
                  },
                  ButtonPress, 1, ShiftMask, 1},
        InputCase{"Space", [](XInput& in, int, int) { in.Key(XK_space); }, KeyPress, XK_space, 0,
                  1},
        InputCase{"Escape", [](XInput& in, int, int) { in.Key(XK_Escape); }, KeyPress, XK_Escape,
                  0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qd::e2e
