// Reads what X11 cannot show about a program's windows, through the Windows API from another
// process in the same Wine prefix, and sends it the system commands that a task bar would.
//
//   probe.exe windows <image name> [x,y ...]
//       one line per top-level window of every process with that image name; for each
//       window with a region, whether each window-relative point lies inside it; for each
//       dialog (#32770), its child windows with their texts
//   probe.exe foreground
//       Windows' foreground window (GetForegroundWindow), as a window line of the listing;
//       none if there is none
//   probe.exe post <hwnd>[,<hwnd>...] close|minimize|restore|suspend
//       posts WM_CLOSE, WM_SYSCOMMAND SC_MINIMIZE / SC_RESTORE, or WM_POWERBROADCAST
//       PBT_APMSUSPEND (as Windows broadcasts it before sleep), to each window in turn
//   probe.exe post <hwnd>[,<hwnd>...] wheel:<delta>
//       posts WM_MOUSEWHEEL of that delta, no keys, at the window's centre, to each in turn
//   probe.exe post <hwnd> endsession
//       sends WM_QUERYENDSESSION and then WM_ENDSESSION with its answer, as Windows does at
//       log-off; fails if the window refused or did not answer
//   probe.exe ini-read <path>
//       every section, key and value of an INI file as GetPrivateProfileStringW reads them
//   probe.exe ini-write <path> <section> <key> <value> [<section> <key> <value> ...]
//       writes the values with WritePrivateProfileStringW, then flushes the file
//   probe.exe hold <path> [share-read]
//       opens the file as another program may, sharing nothing or only reading, creates
//       <path>.held, and keeps the file open until that marker is deleted
//   probe.exe hotkey <modifiers> <virtual key> <marker>
//       registers the system-wide hotkey (MOD_ flags and key code, both hex) as another
//       program may, creates <marker>, appends a line "hotkey" to it for each WM_HOTKEY,
//       and keeps the hotkey until the marker is deleted; fails if the hotkey is taken
//   probe.exe slides <left,top,right,bottom> <marker> [topmost|topmost-again|topmost-fights|
//                    topmost-fights-alone|topmost-fights-pair]
//       a slide show's stand-in: an ordinary captioned window at that place, shown with the
//       keyboard, that creates <marker> and appends a line "key <hex virtual key>" to it for
//       every key pressed while it has the keyboard; ends when the marker is deleted. With
//       topmost, a borderless top-most window, as full-screen shows are; with topmost-again,
//       one that also puts itself on top again whenever it loses the keyboard; with the
//       fights, one that takes the keyboard and the top six times in 2.4 s and then stays,
//       appending a line "fought" once it stays: back from a small window of its own (every
//       200 ms), by hiding and showing itself again, or in turn with a second such window
//   probe.exe counts <image name>
//       for each arrow window (class TFormMain) of those processes, the program's own
//       counts of live GDI, USER and kernel objects and of timer ticks so far
//   probe.exe menu <image name>
//       each open popup menu ("#32768") of those processes: its window rectangle, and per
//       item the caption and the shortcut text after the tab, checked, grayed and
//       highlighted, and the item's screen rectangle; read inside the program by probe_menu.dll
//   probe.exe monitors
//       each monitor as EnumDisplayMonitors lists it: device name, rectangle, work area and
//       whether it is the primary
//   probe.exe display <device> off
//   probe.exe display <device> on <left,top,right,bottom>
//       switches a monitor (\\.\DISPLAY2) off, or on at that place and size, with
//       ChangeDisplaySettingsEx, as the display settings would: the X output follows, and
//       running programs get WM_DISPLAYCHANGE
//   probe.exe attributes <path> [<hex attributes>]
//       sets the file's attributes when given, then prints them (GetFileAttributesW)
//   probe.exe buttons
//       whether Windows holds the left, right and middle mouse buttons down, as every
//       program sees it (GetAsyncKeyState)
//
// Every command runs per-monitor DPI aware: a rectangle read or a window placed is in the
// screen's own pixels, as X has them, also where Wine scales the coordinates it gives a
// program that is not aware (under Wine 10 once the displays changed at 150 %).
//
// Output: one record per line, tab-separated key=value fields, the record kind first; texts
// are read through the wide calls, as the user sees them, and printed in UTF-8 with control,
// non-ASCII and backslash bytes written as \xHH. The last line is "end", so that a reader
// can tell a complete answer from a cut one. An image name is given the same way (UTF-8,
// escaped), so that it passes whatever the Unix locale makes of the command line.
#include <windows.h>
#include <tlhelp32.h>

#include "probe_menu.h"
#include "probe_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using probe_text::Escaped;

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? static_cast<size_t>(length) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

std::string EscapedUtf8(const wchar_t* text) { return Escaped(Utf8(text)); }

// An argument in escaped UTF-8.
std::wstring FromEscaped(const char* text) {
  const std::string utf8 = probe_text::Unescaped(text);
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string WindowText(HWND window) {
  // Message boxes hold texts of thousands of characters.
  std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1024, L'\0');
  GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return EscapedUtf8(text.data());
}

std::string ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return EscapedUtf8(name);
}

std::vector<DWORD> ProcessesNamed(const char* escapedImage) {
  const std::wstring image = FromEscaped(escapedImage);
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    const wchar_t* base = std::wcsrchr(entry.szExeFile, L'\\');
    base = base != nullptr ? base + 1 : entry.szExeFile;
    if (lstrcmpiW(base, image.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

struct Point {
  int x;
  int y;
};

struct Query {
  std::vector<DWORD> processes;
  std::vector<Point> points;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto& query = *reinterpret_cast<Query*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  for (DWORD wanted : query.processes) {
    if (process == wanted) query.windows.push_back(window);
  }
  return TRUE;
}

// An edit control's text lives in the control, which GetWindowText from another process
// does not ask; WM_GETTEXT does.
std::string ControlText(HWND control) {
  if (ClassName(control) != "Edit") return WindowText(control);
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return EscapedUtf8(text);
}

BOOL CALLBACK PrintChild(HWND child, LPARAM parent) {
  RECT rect{};
  GetWindowRect(child, &rect);
  std::printf("child\tparent=%p\thwnd=%p\tclass=%s\tid=%ld\tvisible=%d\trect=%ld,%ld,%ld,%ld"
              "\ttext=%s\n",
              reinterpret_cast<void*>(parent), static_cast<void*>(child),
              ClassName(child).c_str(), static_cast<long>(GetDlgCtrlID(child)),
              IsWindowVisible(child) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
              ControlText(child).c_str());
  return TRUE;
}

const char* RegionKind(int kind) {
  switch (kind) {
    case NULLREGION: return "null";
    case SIMPLEREGION: return "simple";
    case COMPLEXREGION: return "complex";
    default: return "none";
  }
}

void PrintWindow(HWND window, const std::vector<Point>& points) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  RECT rect{};
  GetWindowRect(window, &rect);
  const auto style = static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE));
  const auto exStyle = static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE));
  std::printf("window\thwnd=%p\tpid=%lu\tclass=%s\ttitle=%s\tvisible=%d\tminimized=%d"
              "\trect=%ld,%ld,%ld,%ld\tstyle=0x%08lX\texstyle=0x%08lX\towner=%p\tlayered=%d",
              static_cast<void*>(window), static_cast<unsigned long>(process),
              ClassName(window).c_str(), WindowText(window).c_str(),
              IsWindowVisible(window) ? 1 : 0, IsIconic(window) ? 1 : 0, rect.left, rect.top,
              rect.right, rect.bottom, style, exStyle,
              static_cast<void*>(GetWindow(window, GW_OWNER)),
              (exStyle & WS_EX_LAYERED) != 0 ? 1 : 0);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  if ((exStyle & WS_EX_LAYERED) != 0 && GetLayeredWindowAttributes(window, &key, &alpha, &flags)) {
    std::printf("\talpha=%u\tlwaflags=%lu\tcolorkey=0x%06lX", static_cast<unsigned>(alpha),
                static_cast<unsigned long>(flags), static_cast<unsigned long>(key));
  }
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  const int kind = GetWindowRgn(window, region);
  // Place in the z-order, 0 at the top: which of two windows is above the other.
  int z = 0;
  for (HWND above = GetWindow(window, GW_HWNDPREV); above != nullptr && z < 100000;
       above = GetWindow(above, GW_HWNDPREV)) {
    ++z;
  }
  std::printf("\tz=%d\tregion=%s", z, RegionKind(kind));
  if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
    RECT box{};
    GetRgnBox(region, &box);
    std::printf("\tregionbox=%ld,%ld,%ld,%ld", box.left, box.top, box.right, box.bottom);
  }
  std::printf("\n");
  if (kind == SIMPLEREGION || kind == COMPLEXREGION) {
    for (const Point& p : points) {
      std::printf("inregion\thwnd=%p\tx=%d\ty=%d\tin=%d\n", static_cast<void*>(window), p.x, p.y,
                  PtInRegion(region, p.x, p.y) ? 1 : 0);
    }
  }
  DeleteObject(region);
  if (ClassName(window) == "#32770") {
    EnumChildWindows(window, PrintChild, reinterpret_cast<LPARAM>(window));
  }
}

int ListWindows(int argc, char** argv) {
  Query query;
  query.processes = ProcessesNamed(argv[2]);
  for (int i = 3; i < argc; ++i) {
    Point p{};
    if (std::sscanf(argv[i], "%d,%d", &p.x, &p.y) != 2) return 2;
    query.points.push_back(p);
  }
  for (DWORD process : query.processes) {
    std::printf("process\tpid=%lu\n", static_cast<unsigned long>(process));
  }
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  for (HWND window : query.windows) PrintWindow(window, query.points);
  std::printf("end\n");
  return 0;
}

int Foreground() {
  if (HWND window = GetForegroundWindow(); window != nullptr) PrintWindow(window, {});
  std::printf("end\n");
  return 0;
}

// False when the command is unknown or was refused.
bool PostTo(HWND window, const std::string& command) {
  if (command == "close") return PostMessageA(window, WM_CLOSE, 0, 0) != 0;
  if (command == "minimize") return PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0) != 0;
  if (command == "restore") return PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0) != 0;
  if (command == "suspend") return PostMessageA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0) != 0;
  if (command.rfind("wheel:", 0) == 0) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return false;
    const int delta = std::atoi(command.c_str() + 6);
    return PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                        MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2)) != 0;
  }
  if (command == "endsession") {
    // Synchronous, as Windows sends them: the session may end as soon as these return.
    DWORD_PTR agreed = 0;
    const bool asked = SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                           SMTO_ABORTIFHUNG, 10000, &agreed) != 0;
    return asked && agreed != 0 &&
           SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                               10000, nullptr) != 0;
  }
  return false;
}

int Post(char** argv) {
  const std::string command = argv[3];
  if (command != "close" && command != "minimize" && command != "restore" &&
      command != "suspend" && command != "endsession" && command.rfind("wheel:", 0) != 0) {
    return 2;
  }
  // Several windows, comma-separated, get the command one right after the other.
  bool posted = true;
  for (const char* p = argv[2]; *p != '\0';) {
    char* end = nullptr;
    const auto window =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(p, &end, 16)));
    if (end == p) return 2;
    posted &= PostTo(window, command);
    p = *end == ',' ? end + 1 : end;
  }
  std::printf("posted\tok=%d\terror=%lu\nend\n", posted ? 1 : 0,
              posted ? 0ul : static_cast<unsigned long>(GetLastError()));
  return posted ? 0 : 1;
}

int Counts(char** argv) {
  Query query;
  query.processes = ProcessesNamed(argv[2]);
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  const UINT live = RegisterWindowMessageA("Quiverdart.LiveObjects");
  const UINT ticks = RegisterWindowMessageA("Quiverdart.TimerTicks");
  for (HWND window : query.windows) {
    if (ClassName(window) != "TFormMain") continue;
    // A time-out rather than a hang when the program is busy in a fade or a dialog.
    DWORD_PTR values[4] = {};
    bool answered = true;
    for (int i = 0; i < 4; ++i) {
      const UINT message = i < 3 ? live : ticks;
      const WPARAM which = i < 3 ? static_cast<WPARAM>(i) : 0;
      answered &= SendMessageTimeoutA(window, message, which, 0, SMTO_ABORTIFHUNG, 10000,
                                      &values[i]) != 0;
    }
    if (!answered) continue;
    std::printf("counts\thwnd=%p\tgdi=%ld\tuser=%ld\tkernel=%ld\tticks=%lu\n",
                static_cast<void*>(window), static_cast<long>(values[0]),
                static_cast<long>(values[1]), static_cast<long>(values[2]),
                static_cast<unsigned long>(values[3]));
  }
  std::printf("end\n");
  return 0;
}

// Paths and texts come as ANSI arguments and go to the wide profile functions, which the
// program's own file handling is compared against.
std::wstring Wide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

// The null-separated list that the profile functions return, as separate strings.
std::vector<std::wstring> Strings(const std::vector<wchar_t>& list) {
  std::vector<std::wstring> strings;
  for (const wchar_t* p = list.data(); *p != L'\0'; p += std::wcslen(p) + 1) strings.push_back(p);
  return strings;
}

int IniRead(char** argv) {
  const std::wstring path = Wide(argv[2]);
  constexpr DWORD kSize = 1 << 16;
  std::vector<wchar_t> sections(kSize, L'\0');
  GetPrivateProfileSectionNamesW(sections.data(), kSize, path.c_str());
  for (const std::wstring& section : Strings(sections)) {
    std::printf("section\tname=%s\n", EscapedUtf8(section.c_str()).c_str());
    std::vector<wchar_t> keys(kSize, L'\0');
    GetPrivateProfileStringW(section.c_str(), nullptr, L"", keys.data(), kSize, path.c_str());
    for (const std::wstring& key : Strings(keys)) {
      std::vector<wchar_t> value(kSize, L'\0');
      GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", value.data(), kSize,
                               path.c_str());
      std::printf("key\tsection=%s\tname=%s\tvalue=%s\n", EscapedUtf8(section.c_str()).c_str(),
                  EscapedUtf8(key.c_str()).c_str(), EscapedUtf8(value.data()).c_str());
    }
  }
  std::printf("end\n");
  return 0;
}

int IniWrite(int argc, char** argv) {
  const std::wstring path = Wide(argv[2]);
  bool written = true;
  for (int i = 3; i + 2 < argc; i += 3) {
    written &= WritePrivateProfileStringW(Wide(argv[i]).c_str(), Wide(argv[i + 1]).c_str(),
                                          Wide(argv[i + 2]).c_str(), path.c_str()) != 0;
  }
  // Profile writes may be cached; this is the documented way to have them on disk now.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
  std::printf("written\tok=%d\nend\n", written ? 1 : 0);
  return written ? 0 : 1;
}

int Hold(int argc, char** argv) {
  const std::wstring path = Wide(argv[2]);
  const std::wstring marker = path + L".held";
  const DWORD share = argc == 4 && std::strcmp(argv[3], "share-read") == 0 ? FILE_SHARE_READ : 0;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE mark = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark == INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 1;
  }
  CloseHandle(mark);
  // Bounded, so that a test that never releases it leaves nothing running for long.
  for (int i = 0; i < 6000 && GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(20);
  }
  CloseHandle(file);
  return 0;
}

// The marker file a test waits for; it holds what the helper saw, and its removal ends it.
bool CreateMarker(const std::wstring& marker) {
  HANDLE mark = CreateFileW(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark == INVALID_HANDLE_VALUE) return false;
  CloseHandle(mark);
  return true;
}

// Lost if the test has just removed the marker, which then no longer listens.
void AppendToMarker(const std::wstring& marker, const char* line) {
  HANDLE log = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  CloseHandle(log);
}

int HoldHotKey(char** argv) {
  const auto modifiers = static_cast<UINT>(std::strtoul(argv[2], nullptr, 16));
  const auto key = static_cast<UINT>(std::strtoul(argv[3], nullptr, 16));
  const std::wstring marker = Wide(argv[4]);
  // A thread hotkey: WM_HOTKEY comes to this thread's queue, no window needed.
  if (!RegisterHotKey(nullptr, 1, modifiers, key)) return 1;
  if (!CreateMarker(marker)) return 1;
  // Bounded, so that a test that never releases it leaves nothing running for long.
  for (int i = 0; i < 6000 && GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
      AppendToMarker(marker, "hotkey\n");
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  UnregisterHotKey(nullptr, 1);
  return 0;
}

// The stand-in slide show's window: its marker's path comes with its creation.
LRESULT CALLBACK SlidesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  const auto* marker =
      reinterpret_cast<const std::wstring*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && marker != nullptr) {
    char line[32];
    std::snprintf(line, sizeof line, "key %x\n", static_cast<unsigned>(wParam));
    AppendToMarker(*marker, line);
    if (message == WM_KEYDOWN) return 0;
  }
  if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE &&
      GetPropW(window, L"ProbeOnTopAgain") != nullptr) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int Slides(int argc, char** argv) {
  const char* kind = argc == 5 ? argv[4] : "";
  const bool onTopAgain = std::strcmp(kind, "topmost-again") == 0;
  // Takes the keyboard six times in 2.4 s, then stays: back from a small window of its own,
  // by hiding and showing itself again, or in turn with a second full-screen window.
  const bool fightsAside = std::strcmp(kind, "topmost-fights") == 0;
  const bool fightsAlone = std::strcmp(kind, "topmost-fights-alone") == 0;
  const bool fightsInPairs = std::strcmp(kind, "topmost-fights-pair") == 0;
  const bool topMost = onTopAgain || fightsAside || fightsAlone || fightsInPairs ||
                       std::strcmp(kind, "topmost") == 0;
  long left = 0, top = 0, right = 0, bottom = 0;
  if (std::sscanf(argv[2], "%ld,%ld,%ld,%ld", &left, &top, &right, &bottom) != 4) return 2;
  std::wstring marker = Wide(argv[3]);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = SlidesProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"ProbeSlides";
  if (RegisterClassW(&windowClass) == 0) return 1;
  const auto open = [&] {
    return CreateWindowExW(topMost ? WS_EX_TOPMOST : 0, L"ProbeSlides", L"Slides",
                           topMost ? WS_POPUP : WS_OVERLAPPEDWINDOW, left, top, right - left,
                           bottom - top, nullptr, nullptr, windowClass.hInstance, &marker);
  };
  HWND window = open();
  if (window == nullptr) return 1;
  if (onTopAgain) SetPropW(window, L"ProbeOnTopAgain", window);
  // The window that takes the keyboard at the odd steps of a fight: the small one aside, or
  // the second show.
  HWND other = nullptr;
  if (fightsInPairs) {
    other = open();
    if (other == nullptr) return 1;
    ShowWindow(other, SW_SHOWNORMAL);
  }
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  if (fightsAside) {
    other = CreateWindowExW(0, L"STATIC", L"Aside", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                            windowClass.hInstance, nullptr);
    ShowWindow(other, SW_SHOWNA);
  }
  if (!CreateMarker(marker)) return 1;
  const DWORD start = GetTickCount();
  const int fightSteps = fightsAside ? 12 : (fightsAlone || fightsInPairs) ? 6 : 0;
  const DWORD stepMs = fightsAside ? 200 : 400;
  int fightStep = 0;
  // Bounded, so that a test that never releases it leaves nothing running for long.
  for (int i = 0; i < 6000 && GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    if (fightStep < fightSteps && GetTickCount() - start >= stepMs * (fightStep + 1u)) {
      HWND taking = window;
      if (fightsAside || fightsInPairs) {
        taking = fightStep % 2 == 1 ? window : other;
      } else {
        ShowWindow(window, SW_HIDE);
        ShowWindow(window, SW_SHOWNORMAL);
      }
      SetForegroundWindow(taking);
      if (taking != other || fightsInPairs) {
        SetWindowPos(taking, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      }
      if (++fightStep == fightSteps) AppendToMarker(marker, "fought\n");
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  if (other != nullptr) DestroyWindow(other);
  DestroyWindow(window);
  return 0;
}

int Buttons() {
  const auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0 ? 1 : 0; };
  std::printf("buttons\tleft=%d\tright=%d\tmiddle=%d\nend\n", down(VK_LBUTTON), down(VK_RBUTTON),
              down(VK_MBUTTON));
  return 0;
}

int Attributes(int argc, char** argv) {
  const std::wstring path = Wide(argv[2]);
  if (argc == 4 &&
      SetFileAttributesW(path.c_str(), static_cast<DWORD>(std::strtoul(argv[3], nullptr, 16))) ==
          0) {
    return 1;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
  std::printf("attributes\tvalue=0x%08lX\nend\n", static_cast<unsigned long>(attributes));
  return 0;
}

// The base address of a module in another process.
BYTE* RemoteModule(DWORD process, const wchar_t* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  BYTE* base = nullptr;
  for (BOOL more = Module32FirstW(snapshot, &entry); more && base == nullptr;
       more = Module32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szModule, name) == 0) base = entry.modBaseAddr;
  }
  CloseHandle(snapshot);
  return base;
}

// Runs start(parameter) on a new thread of the other process; false unless it returned 0.
bool RunRemote(HANDLE process, const void* start, void* parameter, DWORD& result) {
  HANDLE thread = CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(start)),
      parameter, 0, nullptr);
  if (thread == nullptr) return false;
  const bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
                    GetExitCodeThread(thread, &result);
  CloseHandle(thread);
  return done;
}

// Loads probe_menu.dll (beside this probe) into the process of the menu window and has it
// read the menu there.
bool ReadRemoteMenu(HWND window, probe_menu::Block& block) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  wchar_t dll[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, dll, MAX_PATH);
  wchar_t* slash = std::wcsrchr(dll, L'\\');
  if (length == 0 || length >= MAX_PATH || slash == nullptr ||
      slash + 1 + std::wcslen(L"probe_menu.dll") >= dll + MAX_PATH) {
    return false;
  }
  std::wcscpy(slash + 1, L"probe_menu.dll");
  HMODULE local = LoadLibraryW(dll);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (local == nullptr || kernel == nullptr) return false;
  const auto* localRead = reinterpret_cast<const BYTE*>(
      reinterpret_cast<void*>(GetProcAddress(local, probe_menu::kReadMenuName)));
  const auto* localLoad = reinterpret_cast<const BYTE*>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "LoadLibraryW")));
  BYTE* remoteKernel = RemoteModule(processId, L"kernel32.dll");
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
  if (localRead == nullptr || localLoad == nullptr || remoteKernel == nullptr ||
      process == nullptr) {
    if (process != nullptr) CloseHandle(process);
    return false;
  }
  bool ok = false;
  void* remote = VirtualAllocEx(process, nullptr, sizeof block, MEM_COMMIT, PAGE_READWRITE);
  DWORD result = 1;
  if (remote != nullptr && WriteProcessMemory(process, remote, dll, sizeof dll, nullptr) &&
      RunRemote(process, remoteKernel + (localLoad - reinterpret_cast<const BYTE*>(kernel)),
                remote, result)) {
    BYTE* remoteDll = RemoteModule(processId, L"probe_menu.dll");
    ok = remoteDll != nullptr &&
         WriteProcessMemory(process, remote, &block, sizeof block, nullptr) &&
         RunRemote(process, remoteDll + (localRead - reinterpret_cast<const BYTE*>(local)),
                   remote, result) &&
         result == 0 && ReadProcessMemory(process, remote, &block, sizeof block, nullptr);
  }
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return ok;
}

int Menus(char** argv) {
  Query query;
  query.processes = ProcessesNamed(argv[2]);
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  for (HWND window : query.windows) {
    if (ClassName(window) != "#32768" || !IsWindowVisible(window)) continue;
    constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
    probe_menu::Block block{};
    block.menu = reinterpret_cast<HMENU>(SendMessageA(window, kGetMenu, 0, 0));
    block.window = window;
    RECT rect{};
    GetWindowRect(window, &rect);
    if (!ReadRemoteMenu(window, block)) return 1;
    const int count = block.count < probe_menu::kMaxItems ? block.count : probe_menu::kMaxItems;
    std::printf("menu\thwnd=%p\trect=%ld,%ld,%ld,%ld\tcount=%d\n", static_cast<void*>(window),
                rect.left, rect.top, rect.right, rect.bottom, block.count);
    for (int i = 0; i < count; ++i) {
      const probe_menu::Item& item = block.items[i];
      std::wstring text(item.text, wcsnlen(item.text, probe_menu::kMaxText));
      const std::size_t tab = text.find(L'\t');
      const std::wstring caption = text.substr(0, tab);
      const std::wstring shortcut = tab == std::wstring::npos ? L"" : text.substr(tab + 1);
      std::printf("menuitem\tindex=%d\tcaption=%s\tshortcut=%s\tchecked=%d\tgrayed=%d"
                  "\thilited=%d\trect=%ld,%ld,%ld,%ld\n",
                  i, EscapedUtf8(caption.c_str()).c_str(), EscapedUtf8(shortcut.c_str()).c_str(),
                  (item.state & MF_CHECKED) != 0 ? 1 : 0,
                  (item.state & (MF_GRAYED | MF_DISABLED)) != 0 ? 1 : 0,
                  (item.state & MF_HILITE) != 0 ? 1 : 0,
                  item.hasRect ? item.rect.left : 0, item.hasRect ? item.rect.top : 0,
                  item.hasRect ? item.rect.right : 0, item.hasRect ? item.rect.bottom : 0);
    }
  }
  std::printf("end\n");
  return 0;
}

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  const RECT& w = info.rcWork;
  std::printf("monitor\tdevice=%s\trect=%ld,%ld,%ld,%ld\twork=%ld,%ld,%ld,%ld\tprimary=%d\n",
              Escaped(info.szDevice).c_str(), r.left, r.top, r.right, r.bottom, w.left, w.top,
              w.right, w.bottom, (info.dwFlags & MONITORINFOF_PRIMARY) != 0 ? 1 : 0);
  return TRUE;
}

int Monitors() {
  EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
  std::printf("end\n");
  return 0;
}

// The DPIs a per-monitor aware program sees: the system's, and each monitor's (where the
// Wine has GetDpiForMonitor; the monitor's top-left corner names it).
BOOL CALLBACK PrintMonitorDpi(HMONITOR monitor, HDC, LPRECT rect, LPARAM getDpi) {
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  UINT x = 0;
  UINT y = 0;
  const auto fn = reinterpret_cast<GetDpiForMonitorFn>(getDpi);
  if (fn != nullptr && SUCCEEDED(fn(monitor, 0, &x, &y))) {
    std::printf("monitor\tat=%ld,%ld\tdpi=%u\n", rect->left, rect->top, x);
  }
  return TRUE;
}

int Dpi() {
  HDC screen = GetDC(nullptr);
  std::printf("system\tdpi=%d\n", GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
  const HMODULE shcore = LoadLibraryA("shcore.dll");
  void* getDpi = shcore != nullptr ? reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor"))
                                   : nullptr;
  EnumDisplayMonitors(nullptr, nullptr, PrintMonitorDpi, reinterpret_cast<LPARAM>(getDpi));
  std::printf("end\n");
  return 0;
}

// Stores the monitor's new mode in the registry first and then applies every stored change
// at once, the way the display settings detach and attach a monitor.
int Display(int argc, char** argv) {
  const bool on = std::strcmp(argv[3], "on") == 0;
  if (on != (argc == 5) || (!on && std::strcmp(argv[3], "off") != 0)) return 2;
  // Off is position and size 0, which detaches the monitor.
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_POSITION | DM_PELSWIDTH | DM_PELSHEIGHT;
  if (on) {
    long left = 0, top = 0, right = 0, bottom = 0;
    if (std::sscanf(argv[4], "%ld,%ld,%ld,%ld", &left, &top, &right, &bottom) != 4) return 2;
    mode.dmPosition = POINTL{left, top};
    mode.dmPelsWidth = static_cast<DWORD>(right - left);
    mode.dmPelsHeight = static_cast<DWORD>(bottom - top);
  }
  const LONG stored =
      ChangeDisplaySettingsExA(argv[2], &mode, nullptr, CDS_UPDATEREGISTRY | CDS_NORESET, nullptr);
  const LONG applied = stored == DISP_CHANGE_SUCCESSFUL
                           ? ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr)
                           : stored;
  std::printf("display\tstored=%ld\tapplied=%ld\nend\n", stored, applied);
  return applied == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}

// Per-monitor v2, else v1 (Wine 8 knows no v2), else system aware.
void BecomeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (setContext == nullptr ||
      (!setContext(reinterpret_cast<HANDLE>(-4)) && !setContext(reinterpret_cast<HANDLE>(-3)))) {
    SetProcessDPIAware();
  }
}

}  // namespace

int main(int argc, char** argv) {
  BecomeDpiAware();
  if (argc >= 3 && std::strcmp(argv[1], "windows") == 0) return ListWindows(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "post") == 0) return Post(argv);
  if (argc == 2 && std::strcmp(argv[1], "foreground") == 0) return Foreground();
  if (argc == 3 && std::strcmp(argv[1], "ini-read") == 0) return IniRead(argv);
  if (argc >= 6 && (argc - 3) % 3 == 0 && std::strcmp(argv[1], "ini-write") == 0) {
    return IniWrite(argc, argv);
  }
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "hold") == 0) return Hold(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "hotkey") == 0) return HoldHotKey(argv);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "slides") == 0) return Slides(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "counts") == 0) return Counts(argv);
  if (argc == 3 && std::strcmp(argv[1], "menu") == 0) return Menus(argv);
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "attributes") == 0) {
    return Attributes(argc, argv);
  }
  if (argc == 2 && std::strcmp(argv[1], "monitors") == 0) return Monitors();
  if (argc == 2 && std::strcmp(argv[1], "buttons") == 0) return Buttons();
  if (argc == 2 && std::strcmp(argv[1], "dpi") == 0) return Dpi();
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "display") == 0) {
    return Display(argc, argv);
  }
  std::fprintf(stderr,
               "usage: probe windows <image name> [x,y ...]\n"
               "       probe foreground\n"
               "       probe post <hwnd>[,<hwnd>...] close|minimize|restore|suspend|endsession|wheel:<delta>\n"
               "       probe slides <left,top,right,bottom> <marker> [topmost|topmost-again|topmost-fights|\n"
               "                    topmost-fights-alone|topmost-fights-pair]\n"
               "       probe counts <image name>\n"
               "       probe menu <image name>\n"
               "       probe ini-read <path>\n"
               "       probe ini-write <path> <section> <key> <value> [...]\n"
               "       probe hold <path> [share-read]\n"
               "       probe hotkey <modifiers> <virtual key> <marker>\n"
               "       probe monitors\n"
               "       probe display <device> off|on <left,top,right,bottom>\n"
               "       probe attributes <path> [<hex attributes>]\n"
               "       probe buttons\n");
  return 2;
}
