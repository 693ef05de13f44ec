// Reads what X11 cannot show about a program's windows, through the Windows API from another
// process in the same Wine prefix, and sends it the system commands that a task bar would.
//
//   probe.exe windows <image name> [x,y ...]
//       one line per top-level window of every process with that image name; for each
//       window with a region, whether each window-relative point lies inside it; for each
//       dialog (#32770), its child windows with their texts
//   probe.exe post <hwnd> close|minimize|restore
//       posts WM_CLOSE, or WM_SYSCOMMAND SC_MINIMIZE / SC_RESTORE
//
// Output: one record per line, tab-separated key=value fields, the record kind first; texts
// are the raw ANSI bytes with control, non-ASCII and backslash bytes written as \xHH.
// The last line is "end", so that a reader can tell a complete answer from a cut one.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return Escaped(text);
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return Escaped(name);
}

std::vector<DWORD> ProcessesNamed(const char* image) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    const char* base = std::strrchr(entry.szExeFile, '\\');
    base = base != nullptr ? base + 1 : entry.szExeFile;
    if (lstrcmpiA(base, image) == 0) ids.push_back(entry.th32ProcessID);
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

BOOL CALLBACK PrintChild(HWND child, LPARAM parent) {
  RECT rect{};
  GetWindowRect(child, &rect);
  std::printf("child\tparent=%p\thwnd=%p\tclass=%s\tid=%ld\tvisible=%d\trect=%ld,%ld,%ld,%ld"
              "\ttext=%s\n",
              reinterpret_cast<void*>(parent), static_cast<void*>(child),
              ClassName(child).c_str(), static_cast<long>(GetDlgCtrlID(child)),
              IsWindowVisible(child) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
              WindowText(child).c_str());
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
  std::printf("\tregion=%s", RegionKind(kind));
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

int Post(char** argv) {
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 16)));
  const std::string command = argv[3];
  BOOL posted = FALSE;
  if (command == "close") {
    posted = PostMessageA(window, WM_CLOSE, 0, 0);
  } else if (command == "minimize") {
    posted = PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (command == "restore") {
    posted = PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  } else {
    return 2;
  }
  std::printf("posted\tok=%d\terror=%lu\nend\n", posted ? 1 : 0,
              posted ? 0ul : static_cast<unsigned long>(GetLastError()));
  return posted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "windows") == 0) return ListWindows(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "post") == 0) return Post(argv);
  std::fprintf(stderr,
               "usage: probe windows <image name> [x,y ...]\n"
               "       probe post <hwnd> close|minimize|restore\n");
  return 2;
}
