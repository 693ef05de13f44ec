#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_system_services.h"
#include "loaded_settings.h"
#include "model/pointer_settings.h"
#include "settings/settings.h"

namespace qd {
namespace {

constexpr char kFolder[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart";
constexpr char kPath[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini";
// The process's own, so that two programs saving at once do not share one.
constexpr char kTemporary[] =
    "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini.4242.tmp";
constexpr std::uint32_t kReadOnly = 0x1;
constexpr std::uint32_t kHidden = 0x2;
constexpr std::uint32_t kArchive = 0x20;

SettingsLoadResult Load(test::FakeSystemServices& sys, int workAreaWidth = 1920,
                        int workAreaHeight = 1080, const std::vector<MonitorInfo>& monitors = {}) {
  return LoadSettings(sys, kPath, workAreaWidth, workAreaHeight, monitors);
}

using Loaded = test::LoadedPointer;

// The primary monitor of the table's work area, and a second one beside it as a
// projector would be: right of it, left of it (negative x) or above it (negative y).
constexpr MonitorInfo kPrimary{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, true};
const std::vector<MonitorInfo> kRight = {kPrimary,
                                         {{1920, 0, 3200, 720}, {1920, 0, 3200, 690}, false}};
const std::vector<MonitorInfo> kLeft = {kPrimary, {{-1280, 0, 0, 720}, {-1280, 0, 0, 720}, false}};
const std::vector<MonitorInfo> kAbove = {kPrimary,
                                         {{0, -1024, 1280, 0}, {0, -1024, 1280, -40}, false}};
// A task bar along the top of the primary: its work area starts below it.
const std::vector<MonitorInfo> kTopTaskBar = {{{0, 0, 1920, 1080}, {0, 40, 1920, 1080}, true}};

struct LoadCase {
  const char* what;
  std::optional<std::string> file;  // nullopt: no file
  Loaded expected;
  std::vector<MonitorInfo> monitors = {};  // none: the one primary monitor
};

TEST(LoadSettings, FileContentToLoadedValues) {
  const LoadCase cases[] = {
      {"no file: defaults", std::nullopt, {}},
      {"empty file: defaults", "", {}},
      {"every key",
       "[Pointer]\r\nSettingsLocked=1\r\nEscTerminates=0\r\nTipPosX=100\r\nTipPosY=200\r\n"
       "Size=7\r\nOrientation=6\r\nColor=65280\r\nColorIndex=4\r\nAlphaBlendIndex=10\r\n",
       {.locked = true,
        .esc = false,
        .x = 100,
        .y = 200,
        .size = 7,
        .orientation = 6,
        .color = 0xFF00,
        .colorIndex = 4,
        .alpha = 10}},
      {"names in another case", "[pointer]\nSIZE=7\nalphablendindex=9\n", {.size = 7, .alpha = 9}},
      {"keys outside their section", "Size=7\n[Colors]\nSize=8\n", {}},
      {"below the ranges",
       "[Pointer]\nTipPosX=5\nTipPosY=-100\nSize=0\nOrientation=-1\nColorIndex=-5\n"
       "AlphaBlendIndex=0\n",
       {.x = 32, .y = 32, .size = 1, .orientation = 0, .colorIndex = -1, .alpha = 8}},
      {"above the ranges",
       "[Pointer]\nTipPosX=5000\nTipPosY=99999\nSize=99\nOrientation=24\nColorIndex=12\n"
       "AlphaBlendIndex=23\n",
       {.x = 1888, .y = 1048, .size = 24, .orientation = 23, .colorIndex = 11, .alpha = 22}},
      {"on the bounds",
       "[Pointer]\nTipPosX=32\nTipPosY=1048\nSize=1\nOrientation=23\nColorIndex=-1\n"
       "AlphaBlendIndex=22\n",
       {.x = 32, .y = 1048, .size = 1, .orientation = 23, .colorIndex = -1, .alpha = 22}},
      {"colour with $", "[Pointer]\nColor=$00FF00\n", {.color = 0xFF00}},
      {"colour with 0x", "[Pointer]\nColor=0x00FF00\n", {.color = 0xFF00}},
      {"colour with 0X", "[Pointer]\nColor=0X00ff00\n", {.color = 0xFF00}},
      {"colour 0x alone", "[Pointer]\nColor=0x\n", {}},
      {"colour as a word", "[Pointer]\nColor=green\n", {}},
      {"colour with the top bit", "[Pointer]\nColor=-1\n", {.color = 0xFFFFFFFF}},
      {"colour beyond 32 bits", "[Pointer]\nColor=4294967295\n", {}},
      {"index and colour both loaded",
       "[Pointer]\nColorIndex=3\nColor=0\n",
       {.color = 0, .colorIndex = 3}},
      {"boolean 2 is true", "[Pointer]\nSettingsLocked=2\n", {.locked = true}},
      {"boolean -1 is true", "[Pointer]\nSettingsLocked=-1\n", {.locked = true}},
      {"boolean words are not numbers", "[Pointer]\nSettingsLocked=yes\nEscTerminates=false\n", {}},
      {"empty values", "[Pointer]\nSize=\nEscTerminates=\nTipPosX=\n", {}},
      {"hexadecimal size", "[Pointer]\nSize=$10\n", {.size = 16}},
      {"numbers with blanks around", "[Pointer]\n  Size  =  9  \n", {.size = 9}},
      {"decimal point", "[Pointer]\nSize=5.5\n", {}},
      {"first duplicate wins", "[Pointer]\nSize=5\nSize=6\n[Pointer]\nSize=7\n", {.size = 5}},
      {"huge value", "[Pointer]\nTipPosX=99999999999999999999\n", {}},
      {"binary junk", std::string("\0\xFF\xFE[\x01\r\r\n=\0", 11), {}},
      {"tip on a monitor to the right stays",
       "[Pointer]\nTipPosX=2500\nTipPosY=300\n",
       {.x = 2500, .y = 300},
       kRight},
      {"tip at that monitor's edges keeps its margin",
       "[Pointer]\nTipPosX=1925\nTipPosY=700\n",
       {.x = 1952, .y = 658},
       kRight},
      {"tip on a monitor to the left, negative",
       "[Pointer]\nTipPosX=-1275\nTipPosY=719\n",
       {.x = -1248, .y = 688},
       kLeft},
      {"tip on a monitor above, negative",
       "[Pointer]\nTipPosX=1270\nTipPosY=-20\n",
       {.x = 1248, .y = -72},
       kAbove},
      {"tip a pixel below that monitor's bottom edge lies off it",
       "[Pointer]\nTipPosX=-640\nTipPosY=720\n",
       {.x = 32, .y = 720},
       kLeft},
      {"tip on that monitor's right edge lies off it",
       "[Pointer]\nTipPosX=3200\nTipPosY=300\n",
       {.x = 1888, .y = 300},
       kRight},
      {"tip on a primary with a task bar at the top: the usual clamp",
       "[Pointer]\nTipPosX=960\nTipPosY=50\n",
       {.x = 960, .y = 50},
       kTopTaskBar},
      {"tip on a monitor that is gone",
       "[Pointer]\nTipPosX=2500\nTipPosY=300\n",
       {.x = 1888, .y = 300}},
      {"tip left of a primary without a monitor there",
       "[Pointer]\nTipPosX=-640\nTipPosY=300\n",
       {.x = 32, .y = 300},
       kRight},
      {"tip below the smaller monitor lies on none",
       "[Pointer]\nTipPosX=2500\nTipPosY=900\n",
       {.x = 1888, .y = 900},
       kRight},
      {"tip on the primary beside another monitor: the usual clamp",
       "[Pointer]\nTipPosX=1919\nTipPosY=5\n",
       {.x = 1888, .y = 32},
       kRight},
  };
  for (const auto& c : cases) {
    test::FakeSystemServices sys;
    if (c.file) {
      sys.files[kPath] = *c.file;
    }
    const SettingsLoadResult result = Load(sys, 1920, 1080, c.monitors);
    EXPECT_FALSE(result.readFailed) << c.what;
    EXPECT_EQ(test::LoadedPointerState(result.settings), c.expected) << c.what;
    EXPECT_EQ(result.settings.CustomColors.size(), 16U) << c.what;
  }
}

TEST(LoadSettings, EdgesAreSmoothOnlyWhenTheFileSaysSo) {
  const std::pair<std::optional<std::string>, bool> cases[] = {
      {std::nullopt, false},
      {"", false},
      {"[Display]\r\nEdges=Smooth\r\n", true},
      {"[display]\nedges = sMOOTH \n", true},
      {"[Display]\nEdges=Sharp\n", false},
      {"[Display]\nEdges=Smoother\n", false},
      {"[Display]\nEdges=1\n", false},
      {"[Pointer]\nEdges=Smooth\n", false},
  };
  for (const auto& [file, smooth] : cases) {
    test::FakeSystemServices sys;
    if (file) {
      sys.files[kPath] = *file;
    }
    EXPECT_EQ(Load(sys).smoothEdges, smooth) << file.value_or("no file");
  }
}

TEST(LoadSettings, UpperBoundWinsOnATinyWorkArea) {
  test::FakeSystemServices sys;
  const PointerSettings defaults = Load(sys, 50, 40).settings;  // defaults 25, 20
  EXPECT_EQ(defaults.TipPosX, 18);
  EXPECT_EQ(defaults.TipPosY, 8);
  sys.files[kPath] = "[Pointer]\nTipPosX=5\nTipPosY=500\n";
  const PointerSettings loaded = Load(sys, 50, 40).settings;
  EXPECT_EQ(loaded.TipPosX, 18);
  EXPECT_EQ(loaded.TipPosY, 8);
}

TEST(LoadSettings, CustomColoursAsTextWithTheDefaultForMissingKeys) {
  test::FakeSystemServices sys;
  sys.files[kPath] =
      "[Colors]\ncolorb=00FF00\nColorC=\nColorD=xyz\nColorE=123456789\nColorQ=1\n"
      "[Pointer]\nColorF=ABCDEF\n";
  const TCustomColors expected = {
      "1FFFFFFF", "00FF00",   "",         "xyz",      "123456789", "1FFFFFFF",
      "1FFFFFFF", "1FFFFFFF", "1FFFFFFF", "1FFFFFFF", "1FFFFFFF",  "1FFFFFFF",
      "1FFFFFFF", "1FFFFFFF", "1FFFFFFF", "1FFFFFFF",
  };
  EXPECT_EQ(Load(sys).settings.CustomColors, expected);
}

TEST(CustomColorKey, NamesTheSixteenSlotsAToP) {
  EXPECT_EQ(test::CustomColorKey(0), "ColorA");
  EXPECT_EQ(test::CustomColorKey(1), "ColorB");
  EXPECT_EQ(test::CustomColorKey(15), "ColorP");
}

TEST(LoadSettings, UnreadableFileGivesDefaultsAndTheSystemMessage) {
  test::FakeSystemServices sys;
  sys.files[kPath] = "[Pointer]\nSize=9\n";
  sys.unreadableFiles.insert(kPath);
  const SettingsLoadResult result = Load(sys);
  EXPECT_TRUE(result.readFailed);
  EXPECT_EQ(result.error, "Access denied");
  EXPECT_EQ(test::LoadedPointerState(result.settings), Loaded{});
  EXPECT_EQ(result.settings.CustomColors.size(), 16U);
  EXPECT_EQ(result.settings.CustomColors[15], "1FFFFFFF");
}

TEST(SettingsKeys, EachFieldHasExactlyOneKey) {
  const auto& keys = kSettingsKeys;
  for (const SettingsKey& key : keys) {
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(),
                            [&](const SettingsKey& other) { return other.field == key.field; }),
              1)
        << key.name;
  }
}

TCustomColors DefaultCustomColors() {
  TCustomColors colors;
  colors.fill("1FFFFFFF");
  return colors;
}

// Settings to save where only the steps of writing them matter.
PointerSettings AnySettings() {
  PointerSettings settings;
  settings.Color = 255;
  settings.CustomColors = DefaultCustomColors();
  return settings;
}

constexpr char kDefaultFile[] =
    "[Pointer]\r\nSettingsLocked=0\r\nEscTerminates=1\r\nTipPosX=960\r\nTipPosY=540\r\n"
    "Size=4\r\nOrientation=0\r\nColor=255\r\nColorIndex=0\r\nAlphaBlendIndex=18\r\n\r\n"
    "[Colors]\r\nColorA=1FFFFFFF\r\nColorB=1FFFFFFF\r\nColorC=1FFFFFFF\r\nColorD=1FFFFFFF\r\n"
    "ColorE=1FFFFFFF\r\nColorF=1FFFFFFF\r\nColorG=1FFFFFFF\r\nColorH=1FFFFFFF\r\n"
    "ColorI=1FFFFFFF\r\nColorJ=1FFFFFFF\r\nColorK=1FFFFFFF\r\nColorL=1FFFFFFF\r\n"
    "ColorM=1FFFFFFF\r\nColorN=1FFFFFFF\r\nColorO=1FFFFFFF\r\nColorP=1FFFFFFF\r\n\r\n";

TEST(SaveSettings, FileWrittenFromDefaultsByteForByte) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  EXPECT_EQ(SaveSettings(sys, kPath, Load(sys).settings), std::nullopt);
  EXPECT_EQ(sys.files[kPath], kDefaultFile);
  EXPECT_FALSE(sys.files.contains(kTemporary));
}

TEST(SaveSettings, KeepsUnknownSectionsAndKeysAndDropsComments) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] =
      "; written by hand\n[Extra]\nOwner = Ann\n\n[POINTER]\nsize=30\nMood=calm\n"
      "SettingsLocked=2\n;old colour\nColor=0x0000FF\n[Colors]\nColorB=00FF00\n";
  PointerSettings settings = Load(sys).settings;
  settings.Orientation = 5;
  EXPECT_EQ(SaveSettings(sys, kPath, settings), std::nullopt);
  EXPECT_EQ(sys.files[kPath],
            "[Extra]\r\nOwner=Ann\r\n\r\n"
            "[POINTER]\r\nSize=24\r\nMood=calm\r\nSettingsLocked=1\r\nColor=255\r\n"
            "EscTerminates=1\r\nTipPosX=960\r\nTipPosY=540\r\nOrientation=5\r\nColorIndex=0\r\n"
            "AlphaBlendIndex=18\r\n\r\n"
            "[Colors]\r\nColorB=00FF00\r\nColorA=1FFFFFFF\r\nColorC=1FFFFFFF\r\n"
            "ColorD=1FFFFFFF\r\nColorE=1FFFFFFF\r\nColorF=1FFFFFFF\r\nColorG=1FFFFFFF\r\n"
            "ColorH=1FFFFFFF\r\nColorI=1FFFFFFF\r\nColorJ=1FFFFFFF\r\nColorK=1FFFFFFF\r\n"
            "ColorL=1FFFFFFF\r\nColorM=1FFFFFFF\r\nColorN=1FFFFFFF\r\nColorO=1FFFFFFF\r\n"
            "ColorP=1FFFFFFF\r\n\r\n");
}

TEST(SaveSettings, CustomColourValueIsCutToEightAndKeyedByPosition) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  PointerSettings settings = Load(sys).settings;
  settings.CustomColors[0] = "123456789";
  settings.CustomColors[1] = "00FF00";
  settings.CustomColors[2] = "";     // no value at all
  settings.CustomColors[3] = "xyz";  // not hexadecimal: kept as it is
  EXPECT_EQ(SaveSettings(sys, kPath, settings), std::nullopt);
  const std::string& file = sys.files[kPath];
  EXPECT_NE(file.find("\r\nColorA=12345678\r\nColorB=00FF00\r\nColorC=\r\nColorD=xyz\r\n"),
            std::string::npos)
      << file;
  EXPECT_EQ(file.find("ColorZ"), std::string::npos);
}

TEST(SaveSettings, WhatIsSavedLoadsBackTheSame) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  PointerSettings settings;
  settings.SettingsLocked = true;
  settings.EscTerminates = false;
  settings.TipPosX = 33;
  settings.TipPosY = 1047;
  settings.Size = 24;
  settings.Orientation = 23;
  settings.ColorIndex = -1;
  settings.AlphaBlendIndex = 9;
  settings.Color = 0xFFFFFFFF;  // written as -1, so that it reads back
  settings.CustomColors = DefaultCustomColors();
  settings.CustomColors[7] = "00ABCDEF";
  EXPECT_EQ(SaveSettings(sys, kPath, settings), std::nullopt);

  const PointerSettings loaded = Load(sys).settings;
  EXPECT_EQ(test::LoadedPointerState(loaded), (Loaded{.locked = true,
                                                      .esc = false,
                                                      .x = 33,
                                                      .y = 1047,
                                                      .size = 24,
                                                      .orientation = 23,
                                                      .color = 0xFFFFFFFF,
                                                      .colorIndex = -1,
                                                      .alpha = 9}));
  EXPECT_EQ(loaded.CustomColors, settings.CustomColors);
}

TEST(SaveSettings, UnreadableFileIsNotOverwritten) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] = "[Pointer]\nSize=9\n[Mine]\nkeep=1\n";
  sys.unreadableFiles.insert(kPath);
  EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), "Access denied");
  EXPECT_EQ(sys.files[kPath], "[Pointer]\nSize=9\n[Mine]\nkeep=1\n");
  EXPECT_TRUE(sys.Calls("CreateFileForWrite").empty());
}

TEST(SaveSettings, ReplacesThroughATemporaryFileBesideTheTarget) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] = "[Pointer]\nSize=9\n";
  sys.ClearLog();
  EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), std::nullopt);
  const std::vector<std::string> expected = {
      std::string("ReadWholeFile ") + kPath,
      std::string("CreateFileForWrite ") + kTemporary,
      "WriteFileBytes " + std::to_string(sys.files[kPath].size()),
      "FlushFile",
      "CloseFile",
      std::string("SetFileAttributes ") + kTemporary + " 32",
      std::string("ReplaceFile ") + kTemporary + " " + kPath,
  };
  EXPECT_EQ(sys.log, expected);
}

TEST(SaveSettings, FailureAtAnyStepLeavesTheOldFileAndNoTemporary) {
  const char* const oldFile = "[Pointer]\r\nSize=9\r\n\r\n";
  for (const char* step : {"create", "write", "flush", "close", "replace"}) {
    test::FakeSystemServices sys;
    sys.directories.insert(kFolder);
    sys.files[kPath] = oldFile;
    sys.failFileStepAt[step] = 1;
    EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), std::string("Injected failure at ") + step);
    EXPECT_EQ(sys.files[kPath], oldFile) << step;
    EXPECT_FALSE(sys.files.contains(kTemporary)) << step;
    for (const auto& [file, state] : sys.openFiles) {
      EXPECT_FALSE(state.open) << step << ": file left open";
    }
  }
}

TEST(SaveSettings, KeepsTheFilesAttributesAcrossTheReplace) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] = "[Pointer]\nSize=9\n";
  sys.fileAttributes[kPath] = kHidden;
  EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), std::nullopt);
  EXPECT_EQ(sys.Calls("ReplaceFile").size(), 1U);
  EXPECT_NE(sys.files[kPath].find("SettingsLocked=0\r\n"), std::string::npos) << sys.files[kPath];
  // Changed since the last backup, as a write in place would mark it.
  EXPECT_EQ(sys.fileAttributes[kPath], kHidden | kArchive);
}

// A folder that lets the file be changed but nothing be made beside it.
TEST(SaveSettings, WritesInPlaceWhereNoFileCanBeMadeBesideIt) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.closedFolders.insert(kFolder);
  sys.files[kPath] = "[Pointer]\nSize=9\n[Mine]\nkeep=1\n";
  sys.fileAttributes[kPath] = kHidden;
  EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), std::nullopt);
  EXPECT_NE(sys.files[kPath].find("SettingsLocked=0\r\n"), std::string::npos) << sys.files[kPath];
  EXPECT_NE(sys.files[kPath].find("[Mine]\r\nkeep=1\r\n"), std::string::npos);
  EXPECT_EQ(sys.fileAttributes[kPath], kHidden);
  EXPECT_TRUE(sys.Calls("ReplaceFile").empty());
  EXPECT_FALSE(sys.files.contains(kTemporary));

  // Without a file to change there is nothing to write in place either.
  sys.files.erase(kPath);
  EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), std::string("Cannot create ") + kPath);
  EXPECT_FALSE(sys.files.contains(kPath));
  EXPECT_FALSE(sys.files.contains(kTemporary));
}

// Written in place because nothing can be made beside it or because the file has other
// names (hard links) that a replace would leave with the old content; a failing step is
// reported all the same.
TEST(SaveSettings, InPlaceWhereNoneCanBeMadeOrForOtherNamesEveryStepChecked) {
  for (const bool hardLinked : {false, true}) {
    for (const std::string step : {"", "write", "flush", "close"}) {
      test::FakeSystemServices sys;
      sys.directories.insert(kFolder);
      if (hardLinked) {
        sys.links[kPath] = {kPath, 2};
      } else {
        sys.closedFolders.insert(kFolder);
      }
      sys.files[kPath] = "[Pointer]\nSize=9\n";
      sys.failFileStepAt[step] = 1;
      const std::string what = (hardLinked ? "hard-linked, " : "closed folder, ") + step;
      EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()),
                step.empty() ? std::nullopt : std::optional("Injected failure at " + step))
          << what;
      EXPECT_EQ(sys.Calls("CreateFileForWrite").back(), std::string("CreateFileForWrite ") + kPath)
          << what;
      EXPECT_TRUE(sys.Calls("ReplaceFile").empty()) << what;
      if (step.empty()) {
        EXPECT_NE(sys.files[kPath].find("SettingsLocked=0\r\n"), std::string::npos) << what;
      }
    }
  }
}

// A temporary name that cannot be had gives way to a shorter one in the same folder, and
// the save stays a replace.
TEST(SaveSettings, ATemporaryNameThatCannotBeMadeGivesWayToAnother) {
  const std::string longFolder = "C:\\" + std::string(240, 'd');
  struct Case {
    std::string folder;
    std::vector<std::string> held;  // left-over files of those names, still open somewhere
    std::string expected;           // the temporary file replaced from
  };
  const std::vector<Case> cases = {
      {longFolder, {}, longFolder + "\\~4242.tmp"},
      {kFolder, {kTemporary}, std::string(kFolder) + "\\~4242.tmp"},
      {longFolder, {longFolder + "\\~4242.tmp"}, longFolder + "\\~4242-2.tmp"},
  };
  for (const Case& c : cases) {
    test::FakeSystemServices sys;
    const std::string path = c.folder + "\\Quiverdart.ini";
    sys.directories.insert(c.folder);
    sys.files[path] = "[Pointer]\r\nSize=9\r\n";
    std::uintptr_t handle = 99;
    for (const std::string& name : c.held) {
      sys.files[name] = "left over";
      sys.openFiles[NativeFile{handle++}] = {name, "left over", true};
    }
    EXPECT_EQ(SaveSettings(sys, path, AnySettings()), std::nullopt) << c.expected;
    EXPECT_EQ(sys.Calls("ReplaceFile"),
              std::vector<std::string>{"ReplaceFile " + c.expected + " " + path});
    EXPECT_NE(sys.files[path].find("SettingsLocked=0\r\n"), std::string::npos) << c.expected;
  }
}

// Links the user made stay, and a folder that lets the file be written but nothing be
// deleted is written in place: how the file is reached, where the new content must land,
// and the save's answer.
TEST(SaveSettings, LinksAndUndeletableFilesAreWrittenWhereTheyLead) {
  const std::string stick = "E:\\Stick";
  const std::string onStick = stick + "\\Quiverdart.ini";
  const std::string longFolder = "\\\\?\\C:\\" + std::string(300, 'd') + "\\dot.";
  const std::string longFile = longFolder + "\\Quiverdart.ini";
  struct Case {
    const char* what;
    bool viaLink;  // the settings path is a link to the file on the stick
    std::function<void(test::FakeSystemServices&)> arrange;
    std::string landsIn;  // empty: nowhere
    std::optional<std::string> error;
    std::vector<std::string> replaces;
  };
  const std::vector<Case> cases = {
      {"a link to a file that is there: replaced beside its target",
       true,
       [&](auto& sys) { sys.directories.insert(stick), sys.files[onStick] = "old"; },
       onStick,
       std::nullopt,
       {"ReplaceFile " + onStick + ".4242.tmp " + onStick}},
      {"a link whose target is missing, its folder there: written through",
       true,
       [&](auto& sys) { sys.directories.insert(stick); },
       onStick,
       std::nullopt,
       {}},
      {"a link whose target's folder is missing: fails, naming why",
       true,
       [](auto& /*sys*/) {},
       "",
       "The file is a link whose target cannot be reached. Cannot create " + onStick,
       {}},
      {"resolution failed on a file with two names: written in place",
       false,
       [](auto& sys) {
         sys.links[kPath] = {"", 2, false};
       },
       kPath,
       std::nullopt,
       {}},
      {"resolution failed on a file of one name: replaced as it is named",
       false,
       [](auto& sys) { sys.links[kPath] = {"", 1, false}; },
       kPath,
       std::nullopt,
       {"ReplaceFile " + std::string(kTemporary) + " " + kPath}},
      {"a long resolved path: replaced in its long form",
       false,
       [&](auto& sys) {
         sys.directories.insert(longFolder);
         sys.files[longFile] = "old";
         sys.links[kPath] = {longFile, 1, false};
       },
       longFile,
       std::nullopt,
       {"ReplaceFile " + longFile + ".4242.tmp " + longFile}},
      {"a folder where nothing may be deleted: written in place",
       false,
       [](auto& sys) { sys.undeletable.insert(kFolder); },
       kPath,
       std::nullopt,
       {}},
      {"a failed replace whose temporary file cannot be deleted says so",
       false,
       [](auto& sys) {
         sys.undeletable.insert(kTemporary);
         sys.failFileStepAt["replace"] = 1;
       },
       "",
       std::string("Injected failure at replace. The temporary file \"") + kTemporary +
           "\" is left behind",
       {"ReplaceFile " + std::string(kTemporary) + " " + kPath}},
  };
  for (const Case& c : cases) {
    test::FakeSystemServices sys;
    sys.directories.insert(kFolder);
    if (c.viaLink) {
      sys.symbolicLinks[kPath] = onStick;
    } else {
      sys.files[kPath] = "old";
    }
    c.arrange(sys);
    EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), c.error) << c.what;
    EXPECT_EQ(sys.Calls("ReplaceFile"), c.replaces) << c.what;
    if (!c.landsIn.empty()) {
      EXPECT_NE(sys.files[c.landsIn].find("SettingsLocked=0\r\n"), std::string::npos) << c.what;
    }
    if (c.viaLink) {
      EXPECT_EQ(sys.symbolicLinks[kPath], onStick) << c.what << ": the link is kept";
      EXPECT_FALSE(sys.files.contains(kPath)) << c.what;
    } else if (c.landsIn != kPath) {
      EXPECT_EQ(sys.files[kPath], "old") << c.what;
    }
  }
}

// Whichever way it would be written, and whatever the system would let through.
TEST(SaveSettings, AReadOnlyFileIsNeverWritten) {
  for (const bool closedFolder : {false, true}) {
    test::FakeSystemServices sys;
    sys.directories.insert(kFolder);
    if (closedFolder) {
      sys.closedFolders.insert(kFolder);
    }
    sys.files[kPath] = "[Pointer]\nSize=9\n";
    sys.fileAttributes[kPath] = kReadOnly | kArchive;
    EXPECT_EQ(SaveSettings(sys, kPath, AnySettings()), "Access denied");
    EXPECT_EQ(sys.files[kPath], "[Pointer]\nSize=9\n");
    EXPECT_EQ(sys.fileAttributes[kPath], kReadOnly | kArchive);
    EXPECT_TRUE(sys.Calls("CreateFileForWrite").empty());
  }
}

// A second program saves the same file while the first is writing its temporary file.
TEST(SaveSettings, TwoProgramsSavingAtOnceEachSaveWhole) {
  test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  PointerSettings first = AnySettings();
  first.TipPosX = 300;
  PointerSettings second = AnySettings();
  second.TipPosX = 1500;
  std::optional<std::string> secondError = "not run";
  sys.processId = 7;
  sys.onWriteFileBytes = [&] {
    sys.processId = 8;
    secondError = SaveSettings(sys, kPath, second);
  };
  EXPECT_EQ(SaveSettings(sys, kPath, first), std::nullopt);
  EXPECT_EQ(secondError, std::nullopt);
  EXPECT_NE(sys.files[kPath].find("\r\nTipPosX=300\r\n"), std::string::npos) << "the last one's";
  EXPECT_EQ(sys.files.size(), 1U) << "a temporary file was left";
}

}  // namespace
}  // namespace qd
