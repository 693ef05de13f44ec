// Quiverdart.exe under Wine: what the user sees when it starts, its task-bar owner, and how
// it ends. Expected figures come from the shape rules worked by hand for each screen.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "default_arrow.h"
#include "session.h"

namespace qd::e2e {
namespace {

using Points = std::vector<std::pair<int, int>>;

// The arrow at its defaults (Size 4, Orientation 0, red) on a screen that Wine reports
// whole as the work area.
struct ArrowCase {
  const char* name;
  int screenWidth;
  int screenHeight;
  Rect window;     // tip on the work area's centre
  Points inside;   // window-relative, clear of the 3-pixel rim
  Points outside;  // window-relative, inside the bounding rectangle but off the outline
};

// 1920 x 1080: BaseUnit 3, Scale 5.045378491522286, outline (61,15) (31,0) (31,10) (0,10)
// (0,20) (31,20) (31,30) after the shift, tip (960, 540).
// 1365 x 768: BaseUnit 2, Scale 3.3635856610148576, turned points (0,0) (-20,-10) (-20,-3)
// (-40,-3) (-40,3) (-20,3) (-20,10), so 41 x 21 with the tip (682, 384) at (40,10).
const ArrowCase kArrowCases[] = {
    {"Screen1920x1080", 1920, 1080, kDefaultBounds,
     {{44, 15}, {36, 15}, {36, 7}, {36, 23}, {15, 15}},
     {{1, 1}, {60, 1}, {1, 29}, {60, 29}, {15, 5}, {15, 25}}},
    {"Screen1365x768", 1365, 768, {642, 374, 41, 21},
     {{28, 10}, {24, 10}, {24, 5}, {24, 15}, {10, 10}},
     {{1, 1}, {39, 1}, {1, 19}, {39, 19}, {10, 3}, {10, 17}}},
};

// The bounds of the window definition, which the first shape build replaces before the
// window is first shown.
constexpr Rect kInitialBounds{692, 732, 504, 229};

class ProgramSession {
 public:
  ProgramSession(int width, int height, const std::string& exeName = "Quiverdart.exe",
                 const std::vector<std::string>& args = {}, const std::string& locale = {})
      : session_(width, height), exeName_(exeName) {
    process_.emplace(session_.Launch(session_.Install(ProgramPath(), exeName), args, locale));
    first_ = session_.X().WaitForFirstMap(kStartTimeout);
  }
  Session& S() { return session_; }
  Process& Program() { return *process_; }
  const std::optional<Shown>& First() const { return first_; }

  std::vector<ProbeWindow> ProbeWindows(const Points& points = {}) {
    return session_.WinProbe().Windows(exeName_, points);
  }
  // The probe's view of the window X saw mapped first.
  std::optional<ProbeWindow> ProbeArrow(const Points& points = {}) {
    if (!first_) return std::nullopt;
    const Rect& g = first_->geometry;
    for (const auto& w : ProbeWindows(points)) {
      if (w.visible && w.rect == WinRect{g.x, g.y, g.x + g.width, g.y + g.height}) return w;
    }
    return std::nullopt;
  }

 private:
  Session session_;
  std::string exeName_;
  std::optional<Process> process_;
  std::optional<Shown> first_;
};

std::string CaseName(const testing::TestParamInfo<ArrowCase>& info) { return info.param.name; }

class ProgramStart : public testing::TestWithParam<ArrowCase> {};

TEST_P(ProgramStart, FirstWindowShownIsTheRedTopMostArrowAtTheCentre) {
  const ArrowCase& c = GetParam();
  ProgramSession p(c.screenWidth, c.screenHeight);
  ASSERT_TRUE(p.First()) << "no window mapped";
  EXPECT_EQ(p.First()->geometry, c.window);
  for (const Shown& shown : p.S().X().History()) {
    EXPECT_NE(shown.geometry, kInitialBounds) << "the initial bounds were shown";
  }
  if (WineShows(WineLimit::kTopMostOnBareX)) {
    const auto state = p.S().X().NetWmState(p.First()->window);
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE"), state.end())
        << "not top-most";
  }

  const Rect& r = c.window;
  const bool painted = WaitUntil(10s, [&] {
    return std::all_of(c.inside.begin(), c.inside.end(), [&](auto pt) {
      return p.S().X().Pixel(r.x + pt.first, r.y + pt.second) == kRed;
    });
  });
  for (auto [x, y] : c.inside) {
    EXPECT_EQ(p.S().X().Pixel(r.x + x, r.y + y), kRed) << "inside at " << x << "," << y;
  }
  ASSERT_TRUE(painted) << "the arrow is not red inside";
  for (auto [x, y] : c.outside) {
    EXPECT_EQ(p.S().X().Pixel(r.x + x, r.y + y), XScreen::Background())
        << "outside the outline at " << x << "," << y;
  }
  EXPECT_EQ(p.S().X().Geometry(p.First()->window), c.window) << "the arrow moved after showing";
}

TEST_P(ProgramStart, WindowIsBorderlessTopMostAndCutToTheOutline) {
  const ArrowCase& c = GetParam();
  ProgramSession p(c.screenWidth, c.screenHeight);
  ASSERT_TRUE(p.First()) << "no window mapped";
  Points points = c.inside;
  points.insert(points.end(), c.outside.begin(), c.outside.end());
  const auto arrow = p.ProbeArrow(points);
  ASSERT_TRUE(arrow) << "no visible window of the program has the arrow's bounds";
  EXPECT_EQ(arrow->style & kWsPopup, kWsPopup);
  EXPECT_EQ(arrow->style & (kWsCaption | kWsSysMenu | kWsThickFrame), 0u)
      << "a frame, title bar or system menu";
  EXPECT_EQ(arrow->exStyle & kWsExTopmost, kWsExTopmost);
  ASSERT_TRUE(arrow->region == "simple" || arrow->region == "complex")
      << "no window region: " << arrow->region;
  for (auto pt : c.inside) {
    EXPECT_TRUE(arrow->inRegion.at(pt)) << "outside the region at " << pt.first << ","
                                        << pt.second;
  }
  for (auto pt : c.outside) {
    EXPECT_FALSE(arrow->inRegion.at(pt)) << "inside the region at " << pt.first << ","
                                         << pt.second;
  }
}

INSTANTIATE_TEST_SUITE_P(Defaults, ProgramStart, testing::ValuesIn(kArrowCases), CaseName);

std::vector<ProbeWindow> Dialogs(const std::vector<ProbeWindow>& windows) {
  std::vector<ProbeWindow> dialogs;
  for (const auto& w : windows) {
    if (w.className == "#32770" && w.visible) dialogs.push_back(w);
  }
  return dialogs;
}

// The program file's name without its extension becomes the application title, which
// names the one task-bar entry (that entry's window owns the arrow) and captions the help,
// letter for letter, whatever the letters.
struct TitleCase {
  const char* name;
  const char* exeName;  // UTF-8
  const char* title;
};
void PrintTo(const TitleCase& c, std::ostream* out) { *out << c.name; }

// Wine names files and reads the command line in the Unix locale's character set.
constexpr char kUtf8Locale[] = "C.UTF-8";

class ProgramTaskBar : public testing::TestWithParam<TitleCase> {};

TEST_P(ProgramTaskBar, OneEntryUnderTheApplicationTitleOwnsTheArrow) {
  ProgramSession p(1920, 1080, GetParam().exeName, {}, kUtf8Locale);
  ASSERT_TRUE(p.First()) << "no window mapped";
  const auto arrow = p.ProbeArrow();
  ASSERT_TRUE(arrow) << "no visible window of the program has the arrow's bounds";
  const auto windows = p.ProbeWindows();
  std::vector<ProbeWindow> entries;
  for (const auto& w : windows) {
    // The shell's rule for a task-bar button.
    const bool button = w.visible && ((w.exStyle & kWsExAppWindow) != 0 ||
                                      (w.owner == 0 && (w.exStyle & kWsExToolWindow) == 0));
    if (button) entries.push_back(w);
  }
  ASSERT_EQ(entries.size(), 1u) << "task-bar entries";
  EXPECT_EQ(entries[0].title, GetParam().title);
  EXPECT_NE(entries[0].hwnd, arrow->hwnd) << "the arrow itself is on the task bar";
  EXPECT_EQ(arrow->owner, entries[0].hwnd) << "the arrow is not owned by the task-bar window";
}

TEST_P(ProgramTaskBar, TheHelpIsCaptionedWithTheTitle) {
  ProgramSession p(1920, 1080, GetParam().exeName, {"/?"}, kUtf8Locale);
  std::vector<ProbeWindow> dialogs;
  ASSERT_TRUE(WaitUntil(kStartTimeout, [&] {
    return !(dialogs = Dialogs(p.ProbeWindows())).empty();
  })) << "no help dialog";
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, GetParam().title);
  // The help is what the program brings along; it ends in OK, which lets the arrow show.
  for (const auto& child : dialogs[0].children) {
    if (child.className == "Button") {
      p.S().Input().MoveTo((child.rect.left + child.rect.right) / 2,
                           (child.rect.top + child.rect.bottom) / 2);
      p.S().Input().Click(1);
    }
  }
  EXPECT_TRUE(WaitUntil(kStartTimeout, [&] {
    const auto windows = p.ProbeWindows();
    return std::any_of(windows.begin(), windows.end(), [](const ProbeWindow& w) {
      return w.className == "TFormMain" && w.visible;
    });
  })) << "the arrow did not show";
}

INSTANTIATE_TEST_SUITE_P(
    ExeNames, ProgramTaskBar,
    testing::Values(TitleCase{"Quiverdart", "Quiverdart.exe", "Quiverdart"},
                    TitleCase{"Arrow", "Arrow.exe", "Arrow"},
                    // Windows-1252 letters, and Greek ones outside it.
                    TitleCase{"Umlaut", "Pr\xC3\xA4sentation.exe", "Pr\xC3\xA4sentation"},
                    TitleCase{"Greek",
                              "\xCE\x94\xCE\xB5\xCE\xAF\xCE\xBA\xCF\x84\xCE\xB7\xCF\x82.exe",
                              "\xCE\x94\xCE\xB5\xCE\xAF\xCE\xBA\xCF\x84\xCE\xB7\xCF\x82"}),
    [](const auto& info) { return std::string(info.param.name); });

// Any parameter containing "/?" or "-?" shows the help once, in a message dialog captioned
// with the application title and centred on the screen, before the arrow is shown.
struct HelpCase {
  const char* name;
  std::vector<std::string> args;
  bool shown;
};

class ProgramHelpSwitch : public testing::TestWithParam<HelpCase> {};

TEST_P(ProgramHelpSwitch, ShowsTheHelpOnceBeforeTheArrow) {
  const HelpCase& c = GetParam();
  const Rect arrowBounds = kArrowCases[0].window;
  Session s(1920, 1080);
  Process program = s.Launch(s.Install(ProgramPath(), "Quiverdart.exe"), c.args);
  auto arrowShown = [&] {
    const auto& history = s.X().History();
    return std::any_of(history.begin(), history.end(),
                       [&](const Shown& shown) { return shown.geometry == arrowBounds; });
  };
  if (c.shown) {
    std::vector<ProbeWindow> dialogs;
    ASSERT_TRUE(WaitUntil(kStartTimeout, [&] {
      dialogs = Dialogs(s.WinProbe().Windows("Quiverdart.exe"));
      return !dialogs.empty();
    })) << "no help dialog";
    ASSERT_EQ(dialogs.size(), 1u);
    const ProbeWindow& help = dialogs[0];
    EXPECT_EQ(help.title, "Quiverdart");
    int buttons = 0;
    bool text = false;
    WinRect ok;
    for (const auto& child : help.children) {
      if (child.className == "Button") {
        ++buttons;
        ok = child.rect;
        EXPECT_EQ(child.text, "OK");
      }
      text |= child.className == "Static" && !child.text.empty();
    }
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(text) << "no help text";
    EXPECT_LE(std::abs(help.rect.left + help.rect.right - 1920), 1) << "not centred";
    EXPECT_LE(std::abs(help.rect.top + help.rect.bottom - 1080), 1) << "not centred";
    EXPECT_FALSE(arrowShown()) << "the arrow showed before the help was closed";
    s.Input().MoveTo((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
    s.Input().Click(1);
  }
  ASSERT_TRUE(WaitUntil(kStartTimeout, arrowShown)) << "the arrow did not show";
  EXPECT_TRUE(Dialogs(s.WinProbe().Windows("Quiverdart.exe")).empty())
      << "a help dialog with the arrow";
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ProgramHelpSwitch,
                         testing::Values(HelpCase{"Dash", {"-?"}, true},
                                         HelpCase{"DashAndSlash", {"-?", "/?"}, true},
                                         HelpCase{"InsideAWord", {"abc/?"}, true},
                                         HelpCase{"QuestionMarkAlone", {"?"}, false},
                                         HelpCase{"SlashHelp", {"/help"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CloseWay {
  const char* name;
  std::function<void(ProgramSession&)> ask;
};

class ProgramClose : public testing::TestWithParam<CloseWay> {};

TEST_P(ProgramClose, EndsWithExitCodeZero) {
  ProgramSession p(1920, 1080);
  ASSERT_TRUE(p.First()) << "no window mapped";
  GetParam().ask(p);
  const auto status = p.Program().WaitFor(kExitTimeout);
  ASSERT_TRUE(status) << "still running";
  EXPECT_TRUE(status->exited) << "ended by signal " << status->code;
  EXPECT_EQ(status->code, 0);
  EXPECT_TRUE(p.S().X().WaitForUnmap(p.First()->window, 5s));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ProgramClose,
    testing::Values(CloseWay{"WmCloseToTheArrow",
                             [](ProgramSession& p) {
                               const auto arrow = p.ProbeArrow();
                               ASSERT_TRUE(arrow) << "probe did not find the arrow";
                               ASSERT_TRUE(p.S().WinProbe().PostClose(arrow->hwnd));
                             }},
                    CloseWay{"AltF4OverTheArrow",
                             [](ProgramSession& p) {
                               const Rect& r = p.First()->geometry;
                               // Focus follows the pointer; the middle of the shaft is safe.
                               p.S().Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
                               p.S().Input().Key(XK_F4, kAlt);
                             }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qd::e2e
