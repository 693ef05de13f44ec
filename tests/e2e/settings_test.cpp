// Quiverdart.exe's settings file under Wine, with the prefix's own registry and file system:
// where the file goes, what it holds after a run, how it places the arrow at the next start,
// and what the user sees when it cannot be read or written. Window bounds come from the
// shape rules worked for a 1920 x 1080 screen (BaseUnit 3).
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "default_arrow.h"
#include "session.h"

namespace qd::e2e {
namespace {

namespace fs = std::filesystem;
using Points = std::vector<std::pair<int, int>>;

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr char kTitle[] = "Quiverdart";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Wine takes the processes' environment from here, after the Unix one.
constexpr char kVolatileEnvironment[] = "Volatile Environment";
constexpr char kBesidePath[] = "C:\\Programs\\Quiverdart.ini";
// Wine converts file names with the Unix locale's character set; this one every glibc has.
constexpr char kUtf8Locale[] = "C.UTF-8";
// File attributes.
constexpr std::uint32_t kReadOnly = 0x1;
constexpr std::uint32_t kHidden = 0x2;

// Inside the default arrow (kDefaultBounds), window-relative.
const Points kDefaultInside = {{44, 15}, {15, 15}};

const Rgb kOrange = Rgb::FromColorRef(0x0080FF);

std::string PerUserPath(const std::string& appData) {
  return appData + "\\Brennavo\\Quiverdart\\Quiverdart.ini";
}

std::string DefaultColors() {
  std::string text = "[Colors]\r\n";
  for (char slot = 'A'; slot <= 'P'; ++slot) text += std::string("Color") + slot + "=1FFFFFFF\r\n";
  return text + "\r\n";
}

const std::string kDefaultFile =
    "[Pointer]\r\nSettingsLocked=0\r\nEscTerminates=1\r\nTipPosX=960\r\nTipPosY=540\r\n"
    "Size=4\r\nOrientation=0\r\nColor=255\r\nColorIndex=0\r\nAlphaBlendIndex=18\r\n\r\n" +
    DefaultColors();

// Whether the file, as the program writes it (CR LF), holds this whole line.
bool HasLine(const std::string& file, const std::string& line) {
  return ("\r\n" + file).find("\r\n" + line + "\r\n") != std::string::npos;
}

std::set<std::string> FolderEntries(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class SettingsSession {
 public:
  SettingsSession()
      : session_(kScreenWidth, kScreenHeight),
        exe_(session_.Install(ProgramPath(), "Quiverdart.exe")) {}

  Session& S() { return session_; }
  WinePrefix& Prefix() { return session_.Prefix(); }
  const Probe& WinProbe() const { return session_.WinProbe(); }

  // The per-user base folder as the registry value that the program reads first says.
  std::string RegistryAppData() {
    return Prefix().UserRegistryText(kShellFolders, "AppData").value_or("");
  }

  void Start(const std::string& locale = {}) {
    program_.emplace(session_.Launch(exe_, {}, locale));
  }
  // The program started once more, as a presenter would start it again.
  Process StartAgain() { return session_.Launch(exe_); }
  Process& Program() { return *program_; }

  std::vector<ProbeWindow> Windows(const Points& points = {}) const {
    return WinProbe().Windows("Quiverdart.exe", points);
  }

  // The program's visible, shaped arrow window.
  std::optional<ProbeWindow> WaitForArrow(const Points& points = {}) {
    std::optional<ProbeWindow> arrow;
    WaitUntil(
        kStartTimeout,
        [&] {
          for (const auto& w : Windows(points)) {
            if (w.className == "TFormMain" && w.visible && w.region == "complex") arrow = w;
          }
          return arrow.has_value();
        },
        100ms);
    return arrow;
  }
  std::optional<ProbeWindow> FindWindow(const std::string& className) const {
    for (const auto& w : Windows()) {
      if (w.className == className) return w;
    }
    return std::nullopt;
  }

  // The texts of the open dialogs, for a failure message.
  std::string DialogTexts() const {
    std::string texts;
    for (const auto& dialog : Dialogs()) {
      for (const auto& child : dialog.children) {
        if (child.className == "Static" && !child.text.empty()) texts += "\n" + child.text;
      }
    }
    return texts;
  }

  std::vector<ProbeWindow> Dialogs() const {
    std::vector<ProbeWindow> dialogs;
    for (const auto& w : Windows()) {
      if (w.className == "#32770" && w.visible) dialogs.push_back(w);
    }
    return dialogs;
  }
  std::vector<ProbeWindow> WaitForDialogs(Clock::duration timeout) {
    std::vector<ProbeWindow> dialogs;
    WaitUntil(
        timeout, [&] { return !(dialogs = Dialogs()).empty(); }, 100ms);
    return dialogs;
  }
  // Keys from XTest may miss a dialog; a click where the probe says the button is does not.
  void ClickButton(const ProbeWindow& dialog) {
    for (const auto& child : dialog.children) {
      if (child.className == "Button" && child.visible) {
        session_.Input().MoveTo((child.rect.left + child.rect.right) / 2,
                                (child.rect.top + child.rect.bottom) / 2);
        session_.Input().Click(1);
        return;
      }
    }
    ADD_FAILURE() << "the dialog has no button";
  }

  // Asks the arrow to close, as Alt+F4 would, and waits for the process to end.
  std::optional<ExitStatus> CloseAndWait(const ProbeWindow& arrow) {
    if (!WinProbe().PostClose(arrow.hwnd)) return std::nullopt;
    return program_->WaitFor(kExitTimeout);
  }

  // Whether every window-relative point shows the colour on the screen.
  bool WaitForColour(const Rect& window, const Points& points, Rgb colour) {
    return WaitUntil(10s, [&] {
      return std::all_of(points.begin(), points.end(), [&](auto p) {
        return session_.X().Pixel(window.x + p.first, window.y + p.second) == colour;
      });
    });
  }

 private:
  Session session_;
  std::string exe_;
  std::optional<Process> program_;
};

Rect Bounds(const ProbeWindow& w) {
  return {static_cast<int>(w.rect.left), static_cast<int>(w.rect.top),
          static_cast<int>(w.rect.Width()), static_cast<int>(w.rect.Height())};
}

// The opacity the window shows: alpha blending off counts as fully opaque.
unsigned Opacity(const ProbeWindow& w) { return w.layered && w.alpha ? *w.alpha : 255u; }

void ExpectEndedCleanly(const std::optional<ExitStatus>& status) {
  ASSERT_TRUE(status) << "the program did not end";
  EXPECT_TRUE(status->exited) << "ended by signal " << status->code;
  EXPECT_EQ(status->code, 0);
}

TEST(SettingsFile, FirstRunWritesTheDefaultsWhereTheRegistrySaysAndWindowsReadsThemBack) {
  SettingsSession p;
  const std::string appData = p.RegistryAppData();
  ASSERT_FALSE(appData.empty()) << "no AppData value in the prefix's Shell Folders key";
  const std::string path = PerUserPath(appData);
  const fs::path folder = p.Prefix().UnixPath(path).parent_path();

  p.Start();
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  EXPECT_EQ(Bounds(*arrow), kDefaultBounds);
  EXPECT_TRUE(fs::is_directory(folder)) << "the per-user folder is made at the start";
  EXPECT_FALSE(fs::exists(p.Prefix().UnixPath(path))) << "written before the end";

  ExpectEndedCleanly(p.CloseAndWait(*arrow));
  EXPECT_EQ(p.Prefix().ReadBytes(path), kDefaultFile);
  EXPECT_EQ(FolderEntries(folder), std::set<std::string>{"Quiverdart.ini"});
  EXPECT_FALSE(fs::exists(p.Prefix().UnixPath(kBesidePath))) << "written beside the program";

  std::vector<ProbeIniSection> expected = {{"Pointer",
                                            {{"SettingsLocked", "0"},
                                             {"EscTerminates", "1"},
                                             {"TipPosX", "960"},
                                             {"TipPosY", "540"},
                                             {"Size", "4"},
                                             {"Orientation", "0"},
                                             {"Color", "255"},
                                             {"ColorIndex", "0"},
                                             {"AlphaBlendIndex", "18"}}},
                                           {"Colors", {}}};
  for (char slot = 'A'; slot <= 'P'; ++slot) {
    expected[1].values.emplace_back(std::string("Color") + slot, "1FFFFFFF");
  }
  EXPECT_EQ(p.WinProbe().ReadIni(path), expected) << "as GetPrivateProfileStringW reads it";
}

// A settings file written before the start, by hand or through WritePrivateProfileStringW,
// places, turns, sizes, colours and locks the arrow, clamped; the end of the run writes the
// loaded values back, with the colour index matched to the colour.
struct LoadCase {
  const char* name;
  std::string file;                                       // bytes as a hand would write them
  std::vector<std::array<std::string, 3>> profileWrites;  // or values written by Windows
  Rect window;
  Points inside;   // window-relative, clear of the rim
  Points outside;  // window-relative, in the bounds but off the outline
  std::uint32_t colorRef;
  unsigned opacity;
  std::vector<std::string> saved;  // lines of the file after the run
};
void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

const LoadCase kLoadCases[] = {
    {"AsWritten",
     "[Pointer]\r\nSettingsLocked=1\r\nEscTerminates=0\r\nTipPosX=300\r\nTipPosY=200\r\n"
     "Size=8\r\nOrientation=0\r\nColor=65280\r\nColorIndex=-1\r\nAlphaBlendIndex=22\r\n\r\n"
     "[Colors]\r\nColorA=00ABCDEF\r\n\r\n[Notes]\r\nKeep=this\r\n",
     {},
     // Scale 10.09: outline (121,30) (60,0) (60,20) (0,20) (0,40) (60,40) (60,60).
     {179, 170, 122, 61},
     {{90, 30}, {30, 30}},
     {{2, 2}, {119, 2}, {2, 58}, {119, 58}, {30, 10}},
     0x00FF00,
     255,
     {"SettingsLocked=1", "EscTerminates=0", "TipPosX=300", "TipPosY=200", "Size=8",
      "Orientation=0", "Color=65280", "ColorIndex=4", "AlphaBlendIndex=22", "ColorA=00ABCDEF",
      "ColorB=1FFFFFFF", "[Notes]", "Keep=this"}},
    {"ClampedWithLineFeedsAndOtherCase",
     "[pointer]\nsettingslocked=2\nTIPPOSX=5\nTipPosY=-40\nSize=0\nOrientation=-1\n"
     "Color=$FF0000\nColorIndex=-5\nAlphaBlendIndex=0\n",
     {},
     // Tip (32, 32), Size 1: outline (36,9) (18,0) (18,6) (0,6) (0,12) (18,12) (18,18).
     {-4, 23, 37, 19},
     {{27, 9}, {8, 9}},
     {{33, 2}, {33, 16}, {8, 2}, {8, 16}},
     0xFF0000,
     32,
     {"SettingsLocked=1", "EscTerminates=1", "TipPosX=32", "TipPosY=32", "Size=1", "Orientation=0",
      "Color=16711680", "ColorIndex=8", "AlphaBlendIndex=8"}},
    {"PaletteIndexOverColourAndFarTip",
     "[Pointer]\r\nTipPosX=5000\r\nTipPosY=5000\r\nOrientation=18\r\nColor=0\r\n"
     "ColorIndex=3\r\n",
     {},
     // Tip (1888, 1048), pointing down: outline (15,61) (30,31) (20,31) (20,0) (10,0) (10,31)
     // (0,31).
     {1873, 987, 31, 62},
     {{15, 12}, {15, 45}},
     {{2, 2}, {28, 2}, {2, 58}, {28, 58}},
     0x00FF80,
     192,
     {"SettingsLocked=0", "TipPosX=1888", "TipPosY=1048", "Orientation=18", "Color=65408",
      "ColorIndex=3", "AlphaBlendIndex=18"}},
    {"WrittenByWindows",
     {},
     {{"Pointer", "TipPosX", "400"},
      {"Pointer", "TipPosY", "300"},
      {"Pointer", "Orientation", "2"},
      {"Pointer", "Color", "16711935"},
      {"Pointer", "ColorIndex", "-1"},
      {"Pointer", "EscTerminates", "0"},
      {"Colors", "ColorC", "00123456"}},
     // 30 degrees up: outline (55,0) (21,2) (26,11) (0,26) (5,35) (31,20) (36,28).
     {345, 300, 56, 36},
     {{37, 10}, {15, 23}},
     {{2, 2}, {53, 33}, {10, 5}},
     0xFF00FF,
     192,
     {"TipPosX=400", "TipPosY=300", "Orientation=2", "Color=16711935", "ColorIndex=10",
      "EscTerminates=0", "ColorC=00123456", "ColorA=1FFFFFFF"}},
};

class SettingsFileLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(SettingsFileLoad, ShapesTheArrowAndIsWrittenBack) {
  const LoadCase& c = GetParam();
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  if (c.profileWrites.empty()) {
    p.Prefix().WriteBytes(path, c.file);
  } else {
    fs::create_directories(p.Prefix().UnixPath(path).parent_path());
    ASSERT_TRUE(p.WinProbe().WriteIni(path, c.profileWrites)) << "WritePrivateProfileStringW";
  }

  p.Start();
  Points points = c.inside;
  points.insert(points.end(), c.outside.begin(), c.outside.end());
  const auto arrow = p.WaitForArrow(points);
  ASSERT_TRUE(arrow) << "no arrow";
  EXPECT_EQ(Bounds(*arrow), c.window);
  const auto mapped = p.S().X().MappedWindows();
  EXPECT_TRUE(std::any_of(mapped.begin(), mapped.end(),
                          [&](const MappedWindow& w) { return w.geometry == c.window; }))
      << "X shows no window at " << c.window;
  for (auto pt : c.inside) {
    EXPECT_TRUE(arrow->inRegion.at(pt)) << "outside the region at " << pt.first << "," << pt.second;
  }
  for (auto pt : c.outside) {
    EXPECT_FALSE(arrow->inRegion.at(pt)) << "inside the region at " << pt.first << "," << pt.second;
  }
  EXPECT_EQ(Opacity(*arrow), c.opacity);
  const Rgb colour = Rgb::FromColorRef(c.colorRef);
  EXPECT_TRUE(p.WaitForColour(c.window, c.inside, colour)) << "the arrow is not " << colour;

  ExpectEndedCleanly(p.CloseAndWait(*arrow));
  const std::string saved = p.Prefix().ReadBytes(path).value_or("");
  for (const std::string& line : c.saved) {
    EXPECT_TRUE(HasLine(saved, line)) << "no line " << line << " in\n" << saved;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileLoad, testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An INI file beside the program carries over into the per-user place on the first run,
// and never over a per-user file that exists.
struct CopyCase {
  const char* name;
  bool perUserExists;
};
void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

class SettingsFileBesideProgram : public testing::TestWithParam<CopyCase> {};

TEST_P(SettingsFileBesideProgram, IsCopiedOnlyWhenThereIsNoPerUserFile) {
  const std::string beside = "[Pointer]\r\nTipPosX=300\r\nTipPosY=700\r\n";
  const std::string perUser = "[Pointer]\r\nTipPosX=1500\r\nTipPosY=250\r\n";
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  p.Prefix().WriteBytes(kBesidePath, beside);
  if (GetParam().perUserExists) p.Prefix().WriteBytes(path, perUser);

  p.Start();
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  const bool copied = !GetParam().perUserExists;
  // Size 4, Orientation 0: the window starts 61 left of the tip and 15 above it.
  const Rect expected = copied ? Rect{239, 685, 62, 31} : Rect{1439, 235, 62, 31};
  EXPECT_EQ(Bounds(*arrow), expected);
  EXPECT_EQ(p.Prefix().ReadBytes(path), copied ? beside : perUser)
      << "the per-user file while the program runs";

  ExpectEndedCleanly(p.CloseAndWait(*arrow));
  EXPECT_EQ(p.Prefix().ReadBytes(kBesidePath), beside) << "the file beside the program changed";
  const std::string saved = p.Prefix().ReadBytes(path).value_or("");
  EXPECT_TRUE(HasLine(saved, copied ? "TipPosX=300" : "TipPosX=1500")) << saved;
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFileBesideProgram,
                         testing::Values(CopyCase{"NoPerUserFile", false},
                                         CopyCase{"PerUserFileExists", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A save that fails at the end shows one error box captioned with the application title,
// the program still ends, and the old file is as it was: whether the folder went away, the
// file cannot be read, or another program keeps it from being replaced.
struct SaveFault {
  const char* name;
  // Applied while the arrow shows; what it returns is kept until the program has ended.
  std::function<std::optional<HeldFile>(SettingsSession&, const std::string& path)> apply;
  bool folderMoved;
  std::string appData = {};  // the per-user base folder, UTF-8; empty for the prefix's own
};
void PrintTo(const SaveFault& c, std::ostream* out) { *out << c.name; }

// Where the folder gone away went, so that its file can still be compared.
std::string MovedPath(const std::string& path) {
  const std::size_t name = path.rfind('\\');
  return path.substr(0, name) + "-away" + path.substr(name);
}

const SaveFault kSaveFaults[] = {
    {"FolderGone",
     [](SettingsSession& p, const std::string& path) -> std::optional<HeldFile> {
       fs::rename(p.Prefix().UnixPath(path).parent_path(),
                  p.Prefix().UnixPath(MovedPath(path)).parent_path());
       return std::nullopt;
     },
     true},
    {"FileLockedAgainstReading",
     [](SettingsSession& p, const std::string& path) {
       auto held = p.WinProbe().Hold(path, false);
       EXPECT_TRUE(held) << "could not hold the file";
       return held;
     },
     false},
    {"FileOpenForReadingElsewhere",
     [](SettingsSession& p, const std::string& path) {
       auto held = p.WinProbe().Hold(path, true);
       EXPECT_TRUE(held) << "could not hold the file";
       return held;
     },
     false},
    // Windows refuses to replace it; Wine, whose server runs as root here, would not.
    {"FileReadOnly",
     [](SettingsSession& p, const std::string& path) -> std::optional<HeldFile> {
       EXPECT_EQ(p.WinProbe().FileAttributes(path, kReadOnly).value_or(0) & kReadOnly, kReadOnly);
       return std::nullopt;
     },
     false},
    // The message names a profile folder outside ASCII letter for letter.
    {"FolderGoneUnderAProfileOutsideAscii",
     [](SettingsSession& p, const std::string& path) -> std::optional<HeldFile> {
       fs::rename(p.Prefix().UnixPath(path).parent_path(),
                  p.Prefix().UnixPath(MovedPath(path)).parent_path());
       return std::nullopt;
     },
     true, "C:\\users\\J\xC3\xBCrgen\\AppData\\Roaming"},
};

class SettingsFileSaveFails : public testing::TestWithParam<SaveFault> {};

TEST_P(SettingsFileSaveFails, OneErrorBoxTheProgramEndsTheOldFileStays) {
  const std::string old = "[Pointer]\r\nSize=6\r\n\r\n[Mine]\r\nNote=keep me\r\n";
  SettingsSession p;
  const std::string& appData = GetParam().appData;
  if (!appData.empty()) {
    ASSERT_TRUE(p.Prefix().SetUserRegistryValue(kShellFolders, "AppData", "REG_SZ", appData));
  }
  const std::string path = PerUserPath(appData.empty() ? p.RegistryAppData() : appData);
  p.Prefix().WriteBytes(path, old);

  p.Start(appData.empty() ? "" : kUtf8Locale);
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  std::optional<HeldFile> held = GetParam().apply(p, path);
  ASSERT_TRUE(p.WinProbe().PostClose(arrow->hwnd));

  const auto dialogs = p.WaitForDialogs(kExitTimeout);
  ASSERT_EQ(dialogs.size(), 1u) << "error boxes";
  EXPECT_EQ(dialogs[0].title, kTitle);
  const std::string named = "Cannot write file \"" + path + "\". ";
  EXPECT_TRUE(
      std::any_of(dialogs[0].children.begin(), dialogs[0].children.end(),
                  [&](const ProbeChild& c) { return c.text.find(named) != std::string::npos; }))
      << "no text begins " << named;
  p.ClickButton(dialogs[0]);
  const auto status = p.Program().WaitFor(kExitTimeout);
  EXPECT_TRUE(status) << "still running; boxes now: " << p.Dialogs().size();
  ExpectEndedCleanly(status);
  if (held) {
    EXPECT_TRUE(held->Release());
  }

  const std::string oldPath = GetParam().folderMoved ? MovedPath(path) : path;
  EXPECT_EQ(p.Prefix().ReadBytes(oldPath), old) << "the old file changed";
  EXPECT_EQ(FolderEntries(p.Prefix().UnixPath(oldPath).parent_path()),
            std::set<std::string>{"Quiverdart.ini"})
      << "something was left beside it";
  if (GetParam().folderMoved) {
    EXPECT_FALSE(fs::exists(p.Prefix().UnixPath(path).parent_path())) << "the folder came back";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFileSaveFails, testing::ValuesIn(kSaveFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Started again while the exit's box is up (a presenter reads it first), the program waits
// for the one that is ending and then is the arrow: one arrow in the end, never none.
TEST(SettingsFile, StartedAgainWhileTheExitBoxIsUpBecomesTheArrowOnceItCloses) {
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  p.Prefix().WriteBytes(path, "[Pointer]\r\nSize=6\r\n");
  p.Start();
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  std::optional<HeldFile> held = p.WinProbe().Hold(path, false);
  ASSERT_TRUE(held) << "could not hold the file";
  ASSERT_TRUE(p.WinProbe().PostClose(arrow->hwnd));
  const auto dialogs = p.WaitForDialogs(kExitTimeout);
  ASSERT_EQ(dialogs.size(), 1u) << "error boxes";

  Process again = p.StartAgain();
  // Longer than a start waits for a running arrow that does not answer.
  EXPECT_FALSE(again.WaitFor(8s)) << "the second start ended while the box was up";
  EXPECT_TRUE(held->Release());
  p.ClickButton(dialogs[0]);
  ExpectEndedCleanly(p.Program().WaitFor(kExitTimeout));
  const auto shown = p.WaitForArrow();
  EXPECT_TRUE(shown) << "no arrow after the box closed";
  const auto windows = p.Windows();
  EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                          [](const ProbeWindow& w) { return w.className == "TFormMain"; }),
            1);
  ASSERT_TRUE(shown && p.WinProbe().PostClose(shown->hwnd));
  ExpectEndedCleanly(again.WaitFor(kExitTimeout));
}

// A settings file that exists but cannot be read at the start: one error box, then the
// arrow with the defaults, and the file is not overwritten when the program ends, even once
// it could be.
TEST(SettingsFile, UnreadableAtStartGivesOneBoxThenDefaultsAndIsLeftAlone) {
  const std::string old = "[Pointer]\r\nTipPosX=300\r\nSize=8\r\nColorIndex=4\r\n";
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  p.Prefix().WriteBytes(path, old);
  auto held = p.WinProbe().Hold(path, false);
  ASSERT_TRUE(held) << "could not hold the file";

  p.Start();
  const auto dialogs = p.WaitForDialogs(kStartTimeout);
  ASSERT_EQ(dialogs.size(), 1u) << "error boxes";
  EXPECT_EQ(dialogs[0].title, kTitle);
  EXPECT_TRUE(std::any_of(
      dialogs[0].children.begin(), dialogs[0].children.end(),
      [](const ProbeChild& c) { return c.text.find("Quiverdart.ini") != std::string::npos; }))
      << "the message does not name the file";
  p.ClickButton(dialogs[0]);

  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow after the error box";
  EXPECT_EQ(Bounds(*arrow), kDefaultBounds);
  EXPECT_EQ(Opacity(*arrow), 192u);
  EXPECT_TRUE(p.WaitForColour(kDefaultBounds, kDefaultInside, kRed)) << "the arrow is not red";
  EXPECT_TRUE(p.Dialogs().empty()) << "a second box";

  ASSERT_TRUE(held->Release());
  ExpectEndedCleanly(p.CloseAndWait(*arrow));
  EXPECT_EQ(p.Prefix().ReadBytes(path), old) << "the unreadable file was overwritten";
}

// The file's own attributes stay as the user set them across the replace of a save.
// Hidden, and kept from other users: the new file takes both.
TEST(SettingsFile, AHiddenPrivateFileStaysSoAcrossASave) {
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  p.Prefix().WriteBytes(path, "[Pointer]\r\nSize=6\r\n");
  ASSERT_EQ(p.WinProbe().FileAttributes(path, kHidden).value_or(0) & kHidden, kHidden);
  const fs::path unixPath = p.Prefix().UnixPath(path);
  fs::permissions(unixPath, fs::perms::owner_read | fs::perms::owner_write);

  p.Start();
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  ExpectEndedCleanly(p.CloseAndWait(*arrow));
  EXPECT_TRUE(HasLine(p.Prefix().ReadBytes(path).value_or(""), "AlphaBlendIndex=18"))
      << "not saved";
  const auto attributes = p.WinProbe().FileAttributes(path);
  ASSERT_TRUE(attributes) << "no file";
  EXPECT_EQ(*attributes & kHidden, kHidden) << "attributes now " << *attributes;
  // Wine maps the owner's permissions back to owner and group bits; others stay shut out.
  EXPECT_EQ(fs::status(unixPath).permissions() & fs::perms::others_all, fs::perms::none)
      << "readable by others now: " << std::oct
      << static_cast<int>(fs::status(unixPath).permissions());
  EXPECT_EQ(FolderEntries(unixPath.parent_path()), std::set<std::string>{"Quiverdart.ini"});
}

// A settings file linked into another folder (a synced one, say) stays linked across saves:
// a symbolic link keeps leading to the file, which holds the new settings; the other name
// of a hard-linked file holds them too.
struct LinkCase {
  const char* name;
  bool symbolic;
};
void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }

class SettingsFileLinked : public testing::TestWithParam<LinkCase> {};

TEST_P(SettingsFileLinked, StaysLinkedAcrossTwoSaves) {
  constexpr char kSynced[] = "C:\\Synced\\Quiverdart.ini";
  SettingsSession p;
  const fs::path linked = p.Prefix().UnixPath(PerUserPath(p.RegistryAppData()));
  const fs::path synced = p.Prefix().UnixPath(kSynced);
  p.Prefix().WriteBytes(kSynced, "");
  fs::create_directories(linked.parent_path());
  if (GetParam().symbolic) {
    fs::create_symlink(synced, linked);
  } else {
    fs::create_hard_link(synced, linked);
  }
  for (const int x : {300, 400}) {
    // Each run starts from a file that has the tip alone and ends writing every key.
    p.Prefix().WriteBytes(kSynced, "[Pointer]\r\nTipPosX=" + std::to_string(x) + "\r\n");
    p.Start();
    const auto arrow = p.WaitForArrow();
    ASSERT_TRUE(arrow) << "no arrow";
    ExpectEndedCleanly(p.CloseAndWait(*arrow));
    if (GetParam().symbolic) {
      EXPECT_TRUE(fs::is_symlink(linked)) << "the link was replaced, run " << x;
    } else {
      EXPECT_TRUE(fs::equivalent(linked, synced) && fs::hard_link_count(synced) == 2)
          << "the names were split, run " << x;
    }
    for (const fs::path& name : {linked, synced}) {
      std::ifstream in(name, std::ios::binary);
      const std::string saved{std::istreambuf_iterator<char>(in), {}};
      EXPECT_TRUE(HasLine(saved, "TipPosX=" + std::to_string(x)) && HasLine(saved, "Size=4"))
          << name << " after run " << x << ":\n"
          << saved;
    }
  }
  EXPECT_EQ(FolderEntries(linked.parent_path()), std::set<std::string>{"Quiverdart.ini"});
  EXPECT_EQ(FolderEntries(synced.parent_path()), std::set<std::string>{"Quiverdart.ini"});
}

INSTANTIATE_TEST_SUITE_P(Links, SettingsFileLinked,
                         testing::Values(LinkCase{"SymbolicLink", true},
                                         LinkCase{"HardLink", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Two arrows write the same file when they end: a second start of one program hands over
// to the first, so two programs of other names whose settings files are one file through a
// symbolic link. Whichever ends last, or both at once, the file is the whole file of one of
// them, and neither shows an error.
struct TwoProgramsCase {
  const char* name;
  std::optional<std::size_t> last;  // the program asked to close last; none: both at once
};
void PrintTo(const TwoProgramsCase& c, std::ostream* out) { *out << c.name; }

class SettingsFileOfTwoPrograms : public testing::TestWithParam<TwoProgramsCase> {};

std::string DefaultFileWithTip(int x, int y) {
  std::string file = kDefaultFile;
  const std::string defaultTip = "TipPosX=960\r\nTipPosY=540\r\n";
  return file.replace(file.find(defaultTip), defaultTip.size(),
                      "TipPosX=" + std::to_string(x) + "\r\nTipPosY=" + std::to_string(y) + "\r\n");
}

TEST_P(SettingsFileOfTwoPrograms, LeaveTheWholeFileOfOne) {
  // Each starts from a whole file with its own tip, so that each one's save is known to the
  // byte: the window starts 61 left of the tip and 15 above it.
  const std::array<std::string, 2> files = {DefaultFileWithTip(300, 200),
                                            DefaultFileWithTip(1500, 250)};
  const std::array<Rect, 2> bounds = {Rect{239, 185, 62, 31}, Rect{1439, 235, 62, 31}};
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  const std::array<std::string, 2> exes = {"C:\\Programs\\Quiverdart.exe",
                                           p.S().Install(ProgramPath(), "Zeiger.exe")};
  const fs::path other =
      p.Prefix().UnixPath(p.RegistryAppData() + "\\Brennavo\\Zeiger\\Zeiger.ini");
  fs::create_directories(other.parent_path());
  fs::create_symlink(p.Prefix().UnixPath(path), other);
  std::vector<Process> programs;
  std::array<std::uintptr_t, 2> arrows{};
  for (std::size_t i = 0; i < 2; ++i) {
    p.Prefix().WriteBytes(path, files[i]);
    programs.push_back(p.S().Launch(exes[i]));
    ASSERT_TRUE(WaitUntil(kStartTimeout,
                          [&] {
                            for (const auto& w : p.WinProbe().Windows(i == 0 ? "Quiverdart.exe"
                                                                             : "Zeiger.exe")) {
                              if (w.className == "TFormMain" && w.visible && Bounds(w) == bounds[i])
                                arrows[i] = w.hwnd;
                            }
                            return arrows[i] != 0;
                          }))
        << "no arrow of program " << i;
  }

  // An error box would keep its program from ending.
  const auto waitFor = [&](std::size_t i) {
    const auto status = programs[i].WaitFor(kExitTimeout);
    EXPECT_TRUE(status) << "program " << i << " still running; boxes:" << p.DialogTexts();
    ExpectEndedCleanly(status);
  };
  const std::optional<std::size_t> last = GetParam().last;
  if (last) {
    for (const std::size_t i : {1 - *last, *last}) {
      ASSERT_TRUE(p.WinProbe().PostClose(arrows[i]));
      waitFor(i);
    }
  } else {
    ASSERT_TRUE(p.WinProbe().PostClose({arrows[0], arrows[1]}));
    waitFor(0);
    waitFor(1);
  }

  const std::string saved = p.Prefix().ReadBytes(path).value_or("");
  if (last) {
    EXPECT_EQ(saved, files[*last]) << "not the file of the program that ended last";
  } else {
    EXPECT_TRUE(saved == files[0] || saved == files[1]) << "neither program's file:\n" << saved;
  }
  EXPECT_EQ(FolderEntries(p.Prefix().UnixPath(path).parent_path()),
            std::set<std::string>{"Quiverdart.ini"});
}

INSTANTIATE_TEST_SUITE_P(Orders, SettingsFileOfTwoPrograms,
                         testing::Values(TwoProgramsCase{"FirstStartedEndsFirst", 1},
                                         TwoProgramsCase{"SecondStartedEndsFirst", 0},
                                         TwoProgramsCase{"BothAtOnce", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// The per-user base folder comes from the registry value, or from the environment when that
// value is not text; a folder name outside the ANSI code page works too. Either way the
// settings of one run are those of the next.
struct FolderCase {
  const char* name;
  std::vector<std::array<std::string, 4>> registry;  // key, value name, type, data
  std::string appData;                               // where the settings must go
};
void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }

// C:\ and the Greek word for data, a blank and the Chinese one, in UTF-8.
constexpr char kOutsideAnsiFolder[] =
    "C:\\\xCE\x94\xCE\xB5\xCE\xB4\xCE\xBF\xCE\xBC\xCE\xAD\xCE\xBD\xCE\xB1 \xE6\x95\xB0\xE6\x8D\xAE";

const FolderCase kFolderCases[] = {
    {"RegistryFolderOutsideAnsi",
     {{kShellFolders, "AppData", "REG_SZ", kOutsideAnsiFolder}},
     kOutsideAnsiFolder},
    {"RegistryValueNotTextUsesEnvironment",
     {{kShellFolders, "AppData", "REG_DWORD", "7"},
      {kVolatileEnvironment, "APPDATA", "REG_SZ", "C:\\EnvAppData"}},
     "C:\\EnvAppData"},
};

class SettingsFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(SettingsFolder, KeepsTheSettingsAcrossTwoRuns) {
  const FolderCase& c = GetParam();
  // Orientation 1 at the default tip: outline (60,7) (27,0) (29,10) (0,18) (3,28) (32,20)
  // (35,29).
  constexpr Rect kTurned{900, 533, 61, 30};
  const Points turnedInside = {{40, 12}, {16, 20}};
  SettingsSession p;
  const std::string defaultPath = PerUserPath(p.RegistryAppData());
  for (const auto& [key, name, type, data] : c.registry) {
    ASSERT_TRUE(p.Prefix().SetUserRegistryValue(key, name, type, data)) << key << " " << name;
  }
  const std::string path = PerUserPath(c.appData);

  p.Start(kUtf8Locale);
  const auto first = p.WaitForArrow();
  ASSERT_TRUE(first) << "no arrow";
  ASSERT_EQ(Bounds(*first), kDefaultBounds);
  EXPECT_TRUE(p.Dialogs().empty()) << "an error box";
  // Next palette colour, then a turn, with the pointer over the shaft.
  p.S().Input().MoveTo(kDefaultBounds.x + 15, kDefaultBounds.y + 15);
  p.S().Input().Wheel(1, kCtrl);
  ASSERT_TRUE(p.WaitForColour(kDefaultBounds, kDefaultInside, kOrange)) << "not orange";
  p.S().Input().Wheel(1);
  std::optional<ProbeWindow> turned;
  ASSERT_TRUE(WaitUntil(10s, [&] {
    turned = p.WaitForArrow();
    return turned && Bounds(*turned) == kTurned;
  })) << "not turned";
  ExpectEndedCleanly(p.CloseAndWait(*turned));

  const std::string saved = p.Prefix().ReadBytes(path).value_or("");
  EXPECT_TRUE(HasLine(saved, "Orientation=1")) << saved;
  EXPECT_TRUE(HasLine(saved, "ColorIndex=1")) << saved;
  EXPECT_FALSE(fs::exists(p.Prefix().UnixPath(defaultPath))) << "written to the default place";
  EXPECT_FALSE(fs::exists(p.Prefix().UnixPath(kBesidePath))) << "written beside the program";

  p.Start(kUtf8Locale);
  const auto second = p.WaitForArrow();
  ASSERT_TRUE(second) << "no arrow at the second start";
  EXPECT_EQ(Bounds(*second), kTurned);
  EXPECT_TRUE(p.WaitForColour(kTurned, turnedInside, kOrange)) << "not orange";
  ExpectEndedCleanly(p.CloseAndWait(*second));
}

INSTANTIATE_TEST_SUITE_P(Folders, SettingsFolder, testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// When the session ends, the settings are on disk by the time the program has answered,
// since Windows may end the process right then.
struct SessionEnd {
  const char* name;
  std::function<void(SettingsSession&, const ProbeWindow& arrow)> end;
};
void PrintTo(const SessionEnd& c, std::ostream* out) { *out << c.name; }

const SessionEnd kSessionEnds[] = {
    {"QueryAndEndSentToEachWindow",
     [](SettingsSession& p, const ProbeWindow& arrow) {
       const auto application = p.FindWindow("TApplication");
       ASSERT_TRUE(application) << "no application window";
       EXPECT_TRUE(p.WinProbe().SendEndSession(application->hwnd)) << "refused or no answer";
       // Told first, the task-bar window has ended the program: the arrow's window is gone,
       // and a message to it finds no window to answer.
       p.WinProbe().SendEndSession(arrow.hwnd);
     }},
    {"WineEndsTheSession",
     [](SettingsSession& p, const ProbeWindow&) {
       const RunResult result =
           p.Prefix().Run(p.S().Screen().Display(), {"wineboot", "--end-session", "--force"}, 60s);
       EXPECT_TRUE(result.status && result.status->exited && result.status->code == 0)
           << "wineboot --end-session failed";
     }},
};

class SettingsAtSessionEnd : public testing::TestWithParam<SessionEnd> {};

TEST_P(SettingsAtSessionEnd, AreSaved) {
  SettingsSession p;
  const std::string path = PerUserPath(p.RegistryAppData());
  p.Start();
  const auto arrow = p.WaitForArrow();
  ASSERT_TRUE(arrow) << "no arrow";
  p.S().Input().MoveTo(kDefaultBounds.x + 15, kDefaultBounds.y + 15);
  p.S().Input().Wheel(1, kCtrl);
  ASSERT_TRUE(p.WaitForColour(kDefaultBounds, kDefaultInside, kOrange)) << "not orange";

  GetParam().end(p, *arrow);
  const std::string saved = p.Prefix().ReadBytes(path).value_or("");
  EXPECT_TRUE(HasLine(saved, "ColorIndex=1")) << "not saved when the session ended:\n" << saved;
  EXPECT_TRUE(HasLine(saved, "Color=33023")) << saved;
  EXPECT_TRUE(p.Program().WaitFor(kExitTimeout)) << "still running";
}

INSTANTIATE_TEST_SUITE_P(Ways, SettingsAtSessionEnd, testing::ValuesIn(kSessionEnds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qd::e2e
