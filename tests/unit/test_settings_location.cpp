#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_system_services.h"
#include "settings/location.h"

namespace qd {
namespace {

TEST(ExePathNames, BaseNameAndBesideProgramPath) {
  struct Case {
    std::string exePath;
    std::string baseName;
    std::string beside;
  };
  const Case cases[] = {
      {"C:\\Tools\\Quiverdart.exe", "Quiverdart", "C:\\Tools\\Quiverdart.ini"},
      {"C:\\Tools\\tool.old.exe", "tool.old", "C:\\Tools\\tool.old.ini"},
      {"C:\\Tools\\Arrow", "Arrow", "C:\\Tools\\Arrow.ini"},
      {"C:\\v1.2\\Arrow", "Arrow", "C:\\v1.2\\Arrow.ini"},  // a dot in a folder is no extension
      {"C:Arrow.exe", "Arrow", "C:Arrow.ini"},
      {"D:/tools/Arrow.EXE", "Arrow", "D:/tools/Arrow.ini"},
      {"Arrow.exe", "Arrow", "Arrow.ini"},
      {"C:\\Tools\\.exe", "", "C:\\Tools\\.ini"},
      {"C:\\Pr\xC3\xBC"
       "fung\\Zeiger.exe",
       "Zeiger",
       "C:\\Pr\xC3\xBC"
       "fung\\Zeiger.ini"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExeBaseNameOf(c.exePath), c.baseName) << c.exePath;
    EXPECT_EQ(BesideProgramPathOf(c.exePath), c.beside) << c.exePath;
  }
}

constexpr char kExe[] = "C:\\Tools\\Quiverdart.exe";
constexpr char kBeside[] = "C:\\Tools\\Quiverdart.ini";
constexpr char kRoaming[] = "C:\\Users\\ann\\AppData\\Roaming";
constexpr char kFolder[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart";
constexpr char kPerUser[] =
    "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini";

std::string RegistryKey() { return std::string(kShellFoldersKey) + "|AppData"; }

struct LocationCase {
  const char* what;
  std::optional<RegistryRead> registry;
  std::optional<std::string> environment;
  std::string expected;
  std::vector<std::string> foldersMade;  // ForceDirectories calls
};

TEST(ResolveSettingsFilePath, BaseFolderFallbacks) {
  const std::string envBase = "D:\\Env";
  const std::string envPerUser = "D:\\Env\\Brennavo\\Quiverdart\\Quiverdart.ini";
  const LocationCase cases[] = {
      {"registry value wins over the environment",
       RegistryRead{RegistryStatus::Text, kRoaming},
       envBase,
       kPerUser,
       {kFolder}},
      {"empty registry value: environment",
       RegistryRead{RegistryStatus::Text, ""},
       envBase,
       envPerUser,
       {"D:\\Env\\Brennavo\\Quiverdart"}},
      {"no key: environment",
       RegistryRead{RegistryStatus::NoKey, ""},
       envBase,
       envPerUser,
       {"D:\\Env\\Brennavo\\Quiverdart"}},
      {"no value: environment",
       RegistryRead{RegistryStatus::NoValue, ""},
       envBase,
       envPerUser,
       {"D:\\Env\\Brennavo\\Quiverdart"}},
      {"value that is not text: environment",
       RegistryRead{RegistryStatus::NotText, "junk"},
       envBase,
       envPerUser,
       {"D:\\Env\\Brennavo\\Quiverdart"}},
      {"blanks of the environment value stay in the path",
       std::nullopt,
       std::string(" D:\\E "),
       " D:\\E \\Brennavo\\Quiverdart\\Quiverdart.ini",
       {" D:\\E \\Brennavo\\Quiverdart"}},
      {"registry value of blanks is used as it is",
       RegistryRead{RegistryStatus::Text, " "},
       envBase,
       " \\Brennavo\\Quiverdart\\Quiverdart.ini",
       {" \\Brennavo\\Quiverdart"}},
      {"environment of blanks and control characters: beside the program",
       std::nullopt,
       std::string(" \t\x01 "),
       kBeside,
       {}},
      {"empty environment: beside the program", std::nullopt, std::string(), kBeside, {}},
      {"nothing at all: beside the program", std::nullopt, std::nullopt, kBeside, {}},
      {"expandable registry value is expanded",
       RegistryRead{RegistryStatus::ExpandableText, "%USERPROFILE%\\AppData\\%R%"},
       envBase,
       kPerUser,
       {kFolder}},
      {"expanded to a folder that is not absolute: environment",
       RegistryRead{RegistryStatus::ExpandableText, "%NOSUCH%\\AppData\\Roaming"},
       envBase,
       envPerUser,
       {"D:\\Env\\Brennavo\\Quiverdart"}},
      {"expanded to a share",
       RegistryRead{RegistryStatus::ExpandableText, "%H%\\R"},
       envBase,
       "\\\\srv\\ann\\R\\Brennavo\\Quiverdart\\Quiverdart.ini",
       {"\\\\srv\\ann\\R\\Brennavo\\Quiverdart"}},
  };
  for (const auto& c : cases) {
    test::FakeSystemServices sys;
    if (c.registry) {
      sys.registry[RegistryKey()] = *c.registry;
    }
    if (c.environment) {
      sys.environment["APPDATA"] = *c.environment;
    }
    // What the expandable values name.
    sys.environment.insert(
        {{"USERPROFILE", "C:\\Users\\ann"}, {"R", "Roaming"}, {"H", "\\\\srv\\ann"}});
    EXPECT_EQ(ResolveSettingsFilePath(sys, "Brennavo", kExe, true), c.expected) << c.what;
    std::vector<std::string> made;
    for (const std::string& call : sys.Calls("ForceDirectories ")) {
      made.push_back(call.substr(std::string("ForceDirectories ").size()));
    }
    EXPECT_EQ(made, c.foldersMade) << c.what;
    EXPECT_TRUE(sys.Calls("CopyFile").empty()) << c.what;  // no beside-program file
  }
}

TEST(ResolveSettingsFilePath, AsksTheRegistryForTheShellFoldersKeyOnly) {
  test::FakeSystemServices sys;
  sys.registry[RegistryKey()] = {RegistryStatus::Text, kRoaming};
  sys.environment["APPDATA"] = "D:\\Env";
  ResolveSettingsFilePath(sys, "Brennavo", kExe, true);
  EXPECT_EQ(sys.Calls("ReadUserRegistryText"),
            std::vector<std::string>{"ReadUserRegistryText \\Software\\Microsoft\\Windows\\"
                                     "CurrentVersion\\Explorer\\Shell Folders\\ AppData"});
  EXPECT_TRUE(sys.Calls("GetEnvironmentVariable").empty());
}

TEST(ResolveSettingsFilePath, ExistingFolderIsNotMadeAgainAndUnmakeableFallsBack) {
  test::FakeSystemServices sys;
  sys.registry[RegistryKey()] = {RegistryStatus::Text, kRoaming};
  sys.directories.insert(kFolder);
  EXPECT_EQ(ResolveSettingsFilePath(sys, "Brennavo", kExe, true), kPerUser);
  EXPECT_TRUE(sys.Calls("ForceDirectories").empty());

  test::FakeSystemServices locked;
  locked.registry[RegistryKey()] = {RegistryStatus::Text, kRoaming};
  locked.unwritableFolders.insert(kRoaming);
  locked.files[kBeside] = "[Pointer]\r\n";
  EXPECT_EQ(ResolveSettingsFilePath(locked, "Brennavo", kExe, true), kBeside);
  EXPECT_EQ(locked.Calls("ForceDirectories").size(), 1U);
  EXPECT_TRUE(locked.Calls("CopyFile").empty());
}

struct CopyCase {
  const char* what;
  bool copyFlag;
  bool besideFile;
  bool perUserFile;
  bool copied;
};

TEST(ResolveSettingsFilePath, CopiesTheBesideProgramFileOnlyIntoAnEmptyPerUserPlace) {
  const CopyCase cases[] = {
      {"first run with a beside-program file", true, true, false, true},
      {"copy flag off", false, true, false, false},
      {"no beside-program file", true, false, false, false},
      {"per-user file exists: never overwritten", true, true, true, false},
  };
  for (const auto& c : cases) {
    test::FakeSystemServices sys;
    sys.registry[RegistryKey()] = {RegistryStatus::Text, kRoaming};
    if (c.besideFile) {
      sys.files[kBeside] = "beside";
    }
    if (c.perUserFile) {
      sys.directories.insert(kFolder);
      sys.files[kPerUser] = "per-user";
    }
    EXPECT_EQ(ResolveSettingsFilePath(sys, "Brennavo", kExe, c.copyFlag), kPerUser) << c.what;
    EXPECT_EQ(sys.Calls("CopyFile").size(), c.copied ? 1U : 0U) << c.what;
    if (c.copied) {
      EXPECT_EQ(sys.Calls("CopyFile")[0], std::string("CopyFile ") + kBeside + " " + kPerUser);
      EXPECT_EQ(sys.files[kPerUser], "beside");
    }
    if (c.perUserFile) {
      EXPECT_EQ(sys.files[kPerUser], "per-user") << c.what;
    }
  }
}

TEST(ResolveSettingsFilePath, ProgramInsideThePerUserFolderCopiesNothing) {
  // The per-user path and the beside-program path differ in case only; the fake's files
  // are case-sensitive, so only the case-insensitive comparison stops the copy.
  const std::string lowerRoaming = "c:\\users\\ann\\appdata\\roaming";
  test::FakeSystemServices sys;
  sys.registry[RegistryKey()] = {RegistryStatus::Text, lowerRoaming};
  sys.directories.insert(lowerRoaming + "\\Brennavo\\Quiverdart");
  sys.files[kPerUser] = "beside";
  const std::string exe = std::string(kFolder) + "\\Quiverdart.exe";
  EXPECT_EQ(ResolveSettingsFilePath(sys, "Brennavo", exe, true),
            lowerRoaming + "\\Brennavo\\Quiverdart\\Quiverdart.ini");
  EXPECT_TRUE(sys.Calls("CopyFile").empty());
}

TEST(ResolveSettingsFilePath, FailedCopyStillGivesThePerUserPath) {
  test::FakeSystemServices sys;
  sys.registry[RegistryKey()] = {RegistryStatus::Text, kRoaming};
  sys.files[kBeside] = "beside";
  sys.directories.insert(kFolder);
  sys.unwritableFolders.insert(kFolder + std::string("\\"));  // the copy's target only
  EXPECT_EQ(ResolveSettingsFilePath(sys, "Brennavo", kExe, true), kPerUser);
  EXPECT_EQ(sys.Calls("CopyFile").size(), 1U);
  EXPECT_FALSE(sys.files.contains(kPerUser));
}

}  // namespace
}  // namespace qd
