// Malformed settings files: the corpus in data/hostile/ (truncated, binary, huge values,
// duplicate keys and sections, every mix of line ends, missing sections, bytes outside
// Windows-1252, NULs, byte-order marks) with the state each must load to in
// data/hostile/expected.txt, and files too large to commit, made here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fake_system_services.h"
#include "loaded_settings.h"
#include "model/pointer_settings.h"
#include "settings/settings.h"

namespace qd {
namespace {

namespace fs = std::filesystem;

constexpr char kFolder[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart";
constexpr char kPath[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini";
constexpr int kWorkAreaWidth = 1920;
constexpr int kWorkAreaHeight = 1080;

fs::path CorpusDir() { return fs::path(__FILE__).parent_path() / "data" / "hostile"; }

struct State : test::LoadedPointer {
  TCustomColors custom;  // the sixteen values of ColorA to ColorP
  friend bool operator==(const State&, const State&) = default;
};

std::ostream& operator<<(std::ostream& os, const State& s) {
  os << static_cast<const test::LoadedPointer&>(s) << " custom";
  for (const auto& value : s.custom) os << " " << value.substr(0, 33);
  return os;
}

TCustomColors DefaultCustom() {
  TCustomColors values;
  values.fill("1FFFFFFF");
  return values;
}

struct Loaded {
  State state;
  SettingsLoadResult result;
};

Loaded Load(test::FakeSystemServices& sys) {
  Loaded loaded;
  loaded.result = LoadSettings(sys, kPath, kWorkAreaWidth, kWorkAreaHeight);
  static_cast<test::LoadedPointer&>(loaded.state) =
      test::LoadedPointerState(loaded.result.settings);
  loaded.state.custom = loaded.result.settings.CustomColors;
  return loaded;
}

Loaded LoadBytes(const std::string& bytes) {
  test::FakeSystemServices sys;
  sys.files[kPath] = bytes;
  return Load(sys);
}

void ExpectInRange(const State& s, const std::string& what) {
  EXPECT_GE(s.x, 32) << what;
  EXPECT_LE(s.x, kWorkAreaWidth - 32) << what;
  EXPECT_GE(s.y, 32) << what;
  EXPECT_LE(s.y, kWorkAreaHeight - 32) << what;
  EXPECT_GE(s.size, kMinSize) << what;
  EXPECT_LE(s.size, kMaxSize) << what;
  EXPECT_GE(s.orientation, 0) << what;
  EXPECT_LT(s.orientation, kOrientationSteps) << what;
  EXPECT_GE(s.colorIndex, -1) << what;
  EXPECT_LT(s.colorIndex, kPaletteCount) << what;
  EXPECT_GE(s.alpha, 8) << what;
  EXPECT_LE(s.alpha, kTopAlphaIndex) << what;
  EXPECT_EQ(s.custom.size(), 16U) << what;
}

std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct CorpusCase {
  std::string file;
  State expected;
};

std::vector<CorpusCase> ReadManifest() {
  std::vector<CorpusCase> cases;
  std::ifstream manifest(CorpusDir() / "expected.txt");
  for (std::string line; std::getline(manifest, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    CorpusCase c;
    State& s = c.expected;
    long long color = 0;
    in >> c.file >> s.locked >> s.esc >> s.x >> s.y >> s.size >> s.orientation >> color >>
        s.colorIndex >> s.alpha;
    s.color = static_cast<TColor>(color);
    s.custom = DefaultCustom();
    for (std::string slot; in >> slot;) {
      const auto eq = slot.find('=');
      s.custom.at(static_cast<std::size_t>(slot[0] - 'A')) = Unescaped(slot.substr(eq + 1));
    }
    cases.push_back(c);
  }
  return cases;
}

std::string ReadCorpusFile(const std::string& name) {
  std::ifstream in(CorpusDir() / name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(HostileSettings, CorpusHasItsExpectedStates) {
  const auto cases = ReadManifest();
  ASSERT_GE(cases.size(), 50U);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(CorpusDir())) {
    files += entry.path().extension() == ".ini" ? 1 : 0;
  }
  EXPECT_EQ(files, cases.size()) << "a corpus file without its expected state, or the reverse";
}

TEST(HostileSettings, EachFileLoadsToItsExpectedStateInRange) {
  for (const CorpusCase& c : ReadManifest()) {
    ASSERT_TRUE(fs::exists(CorpusDir() / c.file)) << c.file;
    const Loaded loaded = LoadBytes(ReadCorpusFile(c.file));
    EXPECT_FALSE(loaded.result.readFailed) << c.file;
    EXPECT_EQ(loaded.state, c.expected) << c.file;
    ExpectInRange(loaded.state, c.file);
  }
}

// Whatever a hostile file held, what the program writes back from it loads to the same
// state, and the unknown content it kept does not grow on a second save.
TEST(HostileSettings, SavedBackLoadsToTheSameState) {
  for (const CorpusCase& c : ReadManifest()) {
    test::FakeSystemServices sys;
    sys.directories.insert(kFolder);
    sys.files[kPath] = ReadCorpusFile(c.file);
    const Loaded first = Load(sys);
    ASSERT_EQ(SaveSettings(sys, kPath, first.result.settings), std::nullopt) << c.file;
    const std::string saved = sys.files[kPath];
    const Loaded second = Load(sys);
    State expected = first.state;
    for (auto& value : expected.custom) value = value.substr(0, 8);  // values are cut to 8
    EXPECT_EQ(second.state, expected) << c.file;
    ASSERT_EQ(SaveSettings(sys, kPath, second.result.settings), std::nullopt);
    EXPECT_EQ(sys.files[kPath], saved) << c.file << ": a second save changed the file";
  }
}

std::string PaddedTo(std::size_t size, const std::string& head) {
  std::string text = head;
  const std::string filler = ";" + std::string(62, 'x') + "\r\n";
  while (text.size() + filler.size() <= size) text += filler;
  text += std::string(size - text.size(), ' ');
  return text;
}

TEST(HostileSettings, FileUpToOneMegabyteLoads) {
  const std::string file = PaddedTo(kMaxWholeFileBytes, "[Pointer]\r\nSize=13\r\n");
  ASSERT_EQ(file.size(), kMaxWholeFileBytes);
  const Loaded loaded = LoadBytes(file);
  EXPECT_FALSE(loaded.result.readFailed);
  EXPECT_EQ(loaded.state.size, 13);
}

// A larger file is treated as unreadable: defaults, the reason for the error box, and the
// file left as it is at the end.
TEST(HostileSettings, LargerFileIsUnreadableAndKept) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  const std::string file = PaddedTo(kMaxWholeFileBytes + 1, "[Pointer]\r\nSize=13\r\n");
  sys.files[kPath] = file;
  const Loaded loaded = Load(sys);
  EXPECT_TRUE(loaded.result.readFailed);
  EXPECT_EQ(loaded.result.error, kFileTooLargeMessage);
  State defaults;
  defaults.custom = DefaultCustom();
  EXPECT_EQ(loaded.state, defaults);
  EXPECT_EQ(SaveSettings(sys, kPath, loaded.result.settings), kFileTooLargeMessage);
  EXPECT_EQ(sys.files[kPath], file);
  EXPECT_TRUE(sys.Calls("CreateFileForWrite").empty());
}

struct GeneratedCase {
  const char* what;
  std::string file;
  int size;
  int orientation;
};

TEST(HostileSettings, GeneratedLargeFilesUnderTheCap) {
  std::string manyKeys = "[Pointer]\n";
  for (int i = 0; i < 60000; ++i) manyKeys += "Size=" + std::to_string(i % 30) + "\n";
  std::string manySections;
  for (int i = 0; i < 40000; ++i) manySections += "[Pointer]\nOrientation=9\n";
  std::string oneLine = "[Pointer]\nSize=" + std::string(kMaxWholeFileBytes - 40, '7');
  std::string lineEnds = "[Pointer]" + std::string(500000, '\r') + "Size=3" +
                         std::string(500000, '\n') + "Orientation=4";
  const GeneratedCase cases[] = {
      {"60,000 duplicate keys: the first wins", manyKeys, 1, 0},
      {"40,000 duplicate sections: the first answers", manySections, 4, 9},
      {"one line of a million digits", oneLine, 4, 0},
      {"a million line ends", lineEnds, 3, 4},
  };
  for (const auto& c : cases) {
    ASSERT_LE(c.file.size(), kMaxWholeFileBytes) << c.what;
    const Loaded loaded = LoadBytes(c.file);
    EXPECT_FALSE(loaded.result.readFailed) << c.what;
    EXPECT_EQ(loaded.state.size, c.size) << c.what;
    EXPECT_EQ(loaded.state.orientation, c.orientation) << c.what;
    ExpectInRange(loaded.state, c.what);
  }
}

}  // namespace
}  // namespace qd
