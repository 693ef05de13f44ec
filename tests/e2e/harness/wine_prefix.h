// A private Wine prefix per test, copied from one template prefix that is initialised once
// under the build folder. Never the user's ~/.wine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "process.h"

namespace qd::e2e {

// The build under test and the Wine loader that runs it, chosen by QD_WINE_ARCH:
//   x64 (or unset)  the 64-bit exe and helpers under Wine's 64-bit loader;
//   wow64           the 32-bit exe and helpers, the ones that ship, under the same 64-bit
//                   loader through Wine's WoW64, as 64-bit Windows runs them;
//   x86             the 32-bit exe and helpers under Wine's 32-bit loader (wine32).
// Each in prefixes of its own: the 64-bit loader makes 64-bit prefixes.
struct WineTarget {
  std::string name;                // x64, wow64 or x86
  bool loader64 = false;           // Wine's 64-bit loader
  std::filesystem::path buildDir;  // Quiverdart.exe, probe.exe, baseline.exe
  std::string loader;
  bool Exe64() const { return name == "x64"; }
};
const WineTarget& Target();

// The major version of the Wine that runs the target (8 for "wine-8.0 (Debian ...)"), for
// the few assertions that one Wine cannot show; 0 if the loader does not say.
int WineMajorVersion();

// What one of the Wines under test cannot show at all (the evidence is in tests/e2e/README).
enum class WineLimit {
  kTopMostOnBareX,    // _NET_WM_STATE_ABOVE on a top-most window with no window manager
  kHideOnBareX,       // a shown window hidden again (unmapped on X) with no window manager
  kMonitorSwitchOff,  // a monitor detached with ChangeDisplaySettingsEx (asked on refusal)
  // a top-most window above a full-screen one with the keyboard, on the screen, under the
  // rig's window manager (openbox)
  kAboveFullScreenUnderOpenbox,
  kLargerThanScreen,  // the X shape of a window wider or taller than the screen
};
// Whether the Wine under test shows it; if not, prints why, so that the one assertion a
// test leaves out there is never left out silently.
bool WineShows(WineLimit limit);

// Where the template, the per-test prefixes and the logs live (build/e2e/...), one folder
// per target and Wine version, so that two Wines never remake each other's template.
std::filesystem::path WorkDir();

class WinePrefix {
 public:
  // Initialises the template once (wineboot -i, about 15 s); safe across processes.
  static void EnsureTemplate();
  // Removes the prefixes of test processes that are gone (killed at a time-out, or kept
  // with QD_E2E_KEEP_PREFIXES by an earlier run).
  static void RemoveStale();

  WinePrefix();  // a fresh copy of the template
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path DriveC() const { return root_ / "drive_c"; }
  std::filesystem::path LogFile() const { return root_ / "wine.log"; }

  // Environment of every Wine process of the test. An empty locale keeps en_US.UTF-8, so
  // that results do not depend on the developer's own locale.
  std::vector<std::pair<std::string, std::string>> Environment(const std::string& display,
                                                               const std::string& locale) const;
  Process Start(const std::string& display, const std::vector<std::string>& wineArgs,
                const std::string& locale = {}) const;
  RunResult Run(const std::string& display, const std::vector<std::string>& wineArgs,
                Clock::duration timeout) const;
  // Ends this prefix's wineserver and every process in it.
  void KillServer() const;

  // Where a path on drive C: lies on the Unix side (C:\a\b -> <prefix>/drive_c/a/b).
  std::filesystem::path UnixPath(const std::string& windowsPath) const;
  // A file's bytes, or nothing if it cannot be read.
  std::optional<std::string> ReadBytes(const std::string& windowsPath) const;
  // Writes the bytes as they are, making the missing folders first.
  void WriteBytes(const std::string& windowsPath, const std::string& bytes) const;
  // A value under HKEY_CURRENT_USER, through reg.exe: the text of a string value, or
  // nothing if the value is missing or of another type.
  std::optional<std::string> UserRegistryText(const std::string& key,
                                              const std::string& name) const;
  // reg.exe with these arguments, in this prefix.
  RunResult Reg(const std::vector<std::string>& args) const;
  // Sets a value under HKEY_CURRENT_USER with reg.exe (type REG_SZ, REG_DWORD, ...).
  bool SetUserRegistryValue(const std::string& key, const std::string& name,
                            const std::string& type, const std::string& data) const;

 private:
  static void KillServerOf(const std::filesystem::path& root);

  std::filesystem::path root_;
};

}  // namespace qd::e2e
