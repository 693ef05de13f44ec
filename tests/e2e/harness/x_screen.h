// Watching the X server: which windows get mapped and where, what the screen shows, the
// window properties Wine sets, and the cursor. Watching starts when the object is made, so
// make it before starting the program to see its very first window.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "process.h"

namespace qd::e2e {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rect& r);

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
  // From a Windows COLORREF, 0x00BBGGRR.
  static Rgb FromColorRef(std::uint32_t colorRef);
};
std::ostream& operator<<(std::ostream& out, const Rgb& c);

// A window as it was when it was mapped, or moved or resized while mapped.
struct Shown {
  Window window = 0;
  Rect geometry;
  bool mapEvent = false;  // true for the map itself, false for a change while mapped
};

struct MappedWindow {
  Window window = 0;
  Rect geometry;
  bool overrideRedirect = false;
  std::string name;
};

struct CursorImage {
  int width = 0;
  int height = 0;
  int xHot = 0;
  int yHot = 0;
  std::vector<std::uint32_t> argb;
};

class XScreen {
 public:
  explicit XScreen(const std::string& display);
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  ::Display* Connection() const { return display_; }
  // The colour the root shows where no window is: one no test program paints.
  static Rgb Background() { return {0x12, 0x34, 0x56}; }

  // Reads the events that have arrived into the record below.
  void Update();
  // Every map of a top-level window, and every change of a mapped one, in order.
  const std::vector<Shown>& History();
  // Waits for the first map of a window larger than 1 x 1 (Wine maps zero-size windows, such
  // as a task-bar owner, as 1 x 1 X windows) after the first `since` entries of the history.
  std::optional<Shown> WaitForFirstMap(Clock::duration timeout, std::size_t since = 0);
  bool WaitForUnmap(Window window, Clock::duration timeout);
  bool WaitForMap(Window window, Clock::duration timeout);

  // Absolute geometry now, or nothing if the window is gone.
  std::optional<Rect> Geometry(Window window);
  // The root's child that the pointer is over, as X decides it (its shape counts), or 0.
  Window UnderPointer();
  // The root's mapped children in their stacking order, bottom to top: on a screen without a
  // window manager, the order the screen shows them in.
  std::vector<MappedWindow> MappedWindows();
  // The window's bounding shape within the window, as screen rectangles (Wine sets it from
  // the window region); the whole window if it has none, nothing if the window is gone.
  std::vector<Rect> ShapeRectangles(Window window);

  Rgb Pixel(int x, int y);

  std::vector<std::string> NetWmState(Window window);
  std::optional<std::uint32_t> Opacity(Window window);  // _NET_WM_WINDOW_OPACITY
  std::optional<CursorImage> Cursor();
  // The WM_CLASS name of the window with the keyboard, or of its nearest ancestor that has
  // one (Wine names a program's windows after its file, "quiverdart.exe").
  std::string FocusOwner();

 private:
  struct Tracked {
    Rect geometry;
    bool mapped = false;
  };
  void Record(const XEvent& event);

  ::Display* display_ = nullptr;
  Window root_ = 0;
  std::map<Window, Tracked> tracked_;
  std::vector<Shown> history_;
};

}  // namespace qd::e2e
