// The Win32 probe (tests/e2e/win32/probe.cpp), run with Wine in the test's prefix, and its
// answers parsed.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "wine_prefix.h"

namespace qd::e2e {

struct WinRect {  // left, top, right, bottom as Windows gives them
  long left = 0;
  long top = 0;
  long right = 0;
  long bottom = 0;
  bool operator==(const WinRect&) const = default;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
};

struct ProbeChild {
  std::uintptr_t hwnd = 0;
  std::string className;
  bool visible = false;
  WinRect rect;      // screen coordinates
  std::string text;  // UTF-8, as the user sees it
  long id = 0;       // GetDlgCtrlID
};

struct ProbeMenuItem {
  std::string caption;   // UTF-8, before the tab
  std::string shortcut;  // after the tab, empty if none
  bool checked = false;
  bool grayed = false;
  bool hilited = false;  // under the pointer, ready to be chosen
  WinRect rect;          // screen coordinates
};

// An open popup menu ("#32768" window).
struct ProbeMenu {
  std::uintptr_t hwnd = 0;
  WinRect rect;
  std::vector<ProbeMenuItem> items;
};

struct ProbeWindow {
  std::uintptr_t hwnd = 0;
  unsigned long pid = 0;
  std::string className;
  std::string title;  // UTF-8, as the user sees it
  bool visible = false;
  bool minimized = false;
  WinRect rect;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::uintptr_t owner = 0;
  bool layered = false;
  std::optional<unsigned> alpha;  // GetLayeredWindowAttributes, when layered
  std::optional<unsigned> lwaFlags;
  int z = 0;           // place in the z-order, 0 at the top
  std::string region;  // none, null, simple or complex
  std::optional<WinRect> regionBox;
  std::map<std::pair<int, int>, bool> inRegion;  // window-relative point -> PtInRegion
  std::vector<ProbeChild> children;              // of dialogs only
};

// Window styles the tests look at.
inline constexpr std::uint32_t kWsPopup = 0x80000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;
inline constexpr std::uint32_t kWsCaption = 0x00C00000;
inline constexpr std::uint32_t kWsSysMenu = 0x00080000;
inline constexpr std::uint32_t kWsThickFrame = 0x00040000;
inline constexpr std::uint32_t kWsExTopmost = 0x00000008;
inline constexpr std::uint32_t kWsExToolWindow = 0x00000080;
inline constexpr std::uint32_t kWsExAppWindow = 0x00040000;
inline constexpr std::uint32_t kWsExLayered = 0x00080000;

// The program's own counts, read from its arrow window (see probe.exe counts).
struct ProbeCounts {
  std::uintptr_t hwnd = 0;
  long gdi = 0;
  long user = 0;
  long kernel = 0;
  unsigned long timerTicks = 0;
};

// A monitor as EnumDisplayMonitors and GetMonitorInfo give it, in Windows coordinates.
struct ProbeMonitor {
  std::string device;  // \\.\DISPLAY1
  WinRect rect;
  WinRect work;
  bool primary = false;
  bool operator==(const ProbeMonitor&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ProbeMonitor& m);

// One section of an INI file as the Windows profile functions read it.
struct ProbeIniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;  // key, value, in file order
  bool operator==(const ProbeIniSection&) const = default;
};

// Another program holding a file open (see probe.exe hold) until released or destroyed.
class HeldFile {
 public:
  HeldFile(Process holder, std::filesystem::path marker);
  HeldFile(HeldFile&& other) noexcept;
  HeldFile& operator=(HeldFile&&) = delete;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile();
  // Closes the file; true once the holder has ended.
  bool Release();

 private:
  Process holder_;
  std::filesystem::path marker_;
};

// A system-wide hotkey held by another program (see probe.exe hotkey) until released or
// destroyed.
class HeldHotKey {
 public:
  HeldHotKey(HeldFile holder, std::filesystem::path marker)
      : holder_(std::move(holder)), marker_(std::move(marker)) {}
  // How many times WM_HOTKEY has reached the holder so far.
  int Presses() const;
  bool Release() { return holder_.Release(); }

 private:
  HeldFile holder_;
  std::filesystem::path marker_;
};

// A stand-in for a presenter's slide show (see probe.exe slides): an ordinary window of
// another program that records every key it receives, until released or destroyed.
class SlideShow {
 public:
  SlideShow(HeldFile holder, std::filesystem::path marker)
      : holder_(std::move(holder)), marker_(std::move(marker)) {}
  // The virtual-key codes of the keys pressed in it so far, in order.
  std::vector<unsigned> Keys() const;
  // Whether a show that fights for the top has stopped fighting and stays.
  bool FightOver() const;
  bool Release() { return holder_.Release(); }

 private:
  HeldFile holder_;
  std::filesystem::path marker_;
};

class Probe {
 public:
  Probe(const WinePrefix& prefix, std::string display);

  // All top-level windows of the processes with this image name; for shaped ones, whether
  // each window-relative point lies in the region. Empty if the probe fails.
  std::vector<ProbeWindow> Windows(const std::string& imageName,
                                   const std::vector<std::pair<int, int>>& points = {}) const;
  // Windows' foreground window, whichever program's (hwnd 0: none); nothing if the probe
  // failed.
  std::optional<ProbeWindow> Foreground() const;
  bool PostClose(std::uintptr_t hwnd) const { return Post({hwnd}, "close"); }
  // Closes the windows together: the messages are posted one right after the other.
  bool PostClose(const std::vector<std::uintptr_t>& hwnds) const { return Post(hwnds, "close"); }
  bool PostMinimize(std::uintptr_t hwnd) const { return Post({hwnd}, "minimize"); }
  bool PostRestore(std::uintptr_t hwnd) const { return Post({hwnd}, "restore"); }
  // WM_POWERBROADCAST PBT_APMSUSPEND, as Windows broadcasts it before going to sleep.
  bool PostSuspend(std::uintptr_t hwnd) const { return Post({hwnd}, "suspend"); }
  // WM_MOUSEWHEEL messages of one delta, posted one right after the other.
  bool PostWheel(std::uintptr_t hwnd, int delta, int times) const {
    return Post(std::vector<std::uintptr_t>(static_cast<std::size_t>(times), hwnd),
                "wheel:" + std::to_string(delta));
  }
  // WM_QUERYENDSESSION, then WM_ENDSESSION, sent and answered; false if refused.
  bool SendEndSession(std::uintptr_t hwnd) const { return Post({hwnd}, "endsession"); }

  // An INI file through GetPrivateProfileStringW; nothing if the probe failed.
  std::optional<std::vector<ProbeIniSection>> ReadIni(const std::string& windowsPath) const;
  // Section, key and value triples through WritePrivateProfileStringW.
  bool WriteIni(const std::string& windowsPath,
                const std::vector<std::array<std::string, 3>>& values) const;
  // Opens the file as another program may: sharing nothing, or (shareRead) letting others
  // read but not write, rename or delete it. Nothing if it could not be opened.
  std::optional<HeldFile> Hold(const std::string& windowsPath, bool shareRead) const;
  // Registers a system-wide hotkey (MOD_ flags, virtual-key code) in another program;
  // nothing if the system refused it, as it does for a combination already taken.
  std::optional<HeldHotKey> HoldHotKey(unsigned modifiers, unsigned key) const;
  // Opens the stand-in slide show at a place, in Windows coordinates, with the keyboard:
  // an ordinary window, a top-most one as full-screen shows are, one that also puts itself
  // on top again whenever it loses the keyboard, or one that takes the keyboard and the top
  // six times in 2.4 s and then stays: back from a small window of its own, by hiding and
  // showing itself again, or in turn with a second full-screen top-most window of its own.
  enum class ShowKind : std::uint8_t {
    Ordinary,
    TopMost,
    TopMostAgain,
    TopMostFights,
    TopMostFightsAlone,
    TopMostFightsInTurn
  };
  std::optional<SlideShow> OpenSlideShow(const WinRect& place,
                                         ShowKind kind = ShowKind::Ordinary) const;
  // A file's attributes (FILE_ATTRIBUTE_*), after setting them to `set` when given; nothing
  // if the file is missing or the probe failed.
  std::optional<std::uint32_t> FileAttributes(const std::string& windowsPath,
                                              std::optional<std::uint32_t> set = {}) const;
  // Whether Windows holds any mouse button down, as every program sees it; nothing if the
  // probe failed.
  std::optional<bool> AnyButtonDown() const;
  // Live GDI, USER and kernel objects and timer ticks of the program's arrow window;
  // nothing if no such window answered.
  std::optional<ProbeCounts> Counts(const std::string& imageName) const;

  // The open popup menus of the processes with this image name; nothing if the probe failed.
  std::optional<std::vector<ProbeMenu>> Menus(const std::string& imageName) const;

  // The monitors Windows programs see now; nothing if the probe failed.
  std::optional<std::vector<ProbeMonitor>> Monitors() const;
  // Switches a monitor (\\.\DISPLAY2) off, or on at a place and size, through
  // ChangeDisplaySettingsEx: the X output follows and running programs get WM_DISPLAYCHANGE.
  // A 32-bit Wine can do so only with the 32-bit libXrandr (libxrandr2:i386). Switching off
  // gives nothing where the Wine under test refuses it outright (see WineLimit).
  // The DPIs a per-monitor aware program sees: the system's, then each monitor's by its
  // top-left corner (Windows coordinates); nothing if the probe failed.
  struct Dpis {
    int system = 0;
    std::map<std::pair<int, int>, int> monitors;
  };
  std::optional<Dpis> MonitorDpis() const;
  std::optional<bool> SwitchMonitorOff(const std::string& device) const;
  bool SwitchMonitorOn(const std::string& device, const WinRect& rect) const;

  // Parses the probe's output; exposed for the rig's own tests.
  static std::optional<std::vector<ProbeWindow>> Parse(const std::string& output);
  static std::optional<std::vector<ProbeIniSection>> ParseIni(const std::string& output);
  static std::optional<ProbeCounts> ParseCounts(const std::string& output);
  static std::optional<std::vector<ProbeMenu>> ParseMenus(const std::string& output);
  static std::optional<std::vector<ProbeMonitor>> ParseMonitors(const std::string& output);

 private:
  bool Post(const std::vector<std::uintptr_t>& hwnds, const std::string& command) const;
  std::optional<HeldFile> StartHolder(const std::vector<std::string>& args,
                                      const std::string& windowsMarker) const;

  const WinePrefix& prefix_;
  std::string display_;
};

// The helpers and the program under test (from the win32 build).
std::string HelperPath(const std::string& fileName);
std::string ProgramPath();

}  // namespace qd::e2e
