#include "x_screen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <iomanip>
#include <stdexcept>

namespace qd::e2e {

namespace {

// Windows come and go under the test's feet; a query about a vanished one is no failure.
int IgnoreXErrors(::Display*, XErrorEvent*) { return 0; }

int Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}

Rgb Rgb::FromColorRef(std::uint32_t colorRef) {
  return {static_cast<std::uint8_t>(colorRef & 0xFF),
          static_cast<std::uint8_t>((colorRef >> 8) & 0xFF),
          static_cast<std::uint8_t>((colorRef >> 16) & 0xFF)};
}

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  const auto flags = out.flags();
  out << "#" << std::hex << std::setfill('0') << std::setw(2) << int{c.r} << std::setw(2)
      << int{c.g} << std::setw(2) << int{c.b};
  out.flags(flags);
  return out;
}

XScreen::XScreen(const std::string& display) {
  XSetErrorHandler(IgnoreXErrors);
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) throw std::runtime_error("XScreen: cannot open " + display);
  root_ = DefaultRootWindow(display_);
  int eventBase = 0;
  int errorBase = 0;
  int major = 5;
  int minor = 0;
  // The cursor image needs the extension's version agreed first.
  if (!XFixesQueryExtension(display_, &eventBase, &errorBase) ||
      !XFixesQueryVersion(display_, &major, &minor)) {
    throw std::runtime_error("XScreen: the server lacks XFixes");
  }
  XSelectInput(display_, root_, SubstructureNotifyMask);
  const Rgb bg = Background();
  Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
  XColor colour{};
  colour.red = static_cast<unsigned short>(bg.r * 257);
  colour.green = static_cast<unsigned short>(bg.g * 257);
  colour.blue = static_cast<unsigned short>(bg.b * 257);
  colour.flags = DoRed | DoGreen | DoBlue;
  if (visual->c_class != TrueColor ||
      !XAllocColor(display_, DefaultColormap(display_, DefaultScreen(display_)), &colour)) {
    throw std::runtime_error("XScreen: a 24-bit TrueColor screen is needed");
  }
  XSetWindowBackground(display_, root_, colour.pixel);
  XClearWindow(display_, root_);
  XSync(display_, False);
}

XScreen::~XScreen() { XCloseDisplay(display_); }

void XScreen::Record(const XEvent& event) {
  switch (event.type) {
    case CreateNotify: {
      const auto& e = event.xcreatewindow;
      if (e.parent == root_) tracked_[e.window] = {{e.x, e.y, e.width, e.height}, false};
      break;
    }
    case ConfigureNotify: {
      const auto& e = event.xconfigure;
      auto it = tracked_.find(e.window);
      if (it == tracked_.end()) break;
      const Rect now{e.x, e.y, e.width, e.height};
      if (it->second.mapped && !(now == it->second.geometry)) {
        history_.push_back({e.window, now, false});
      }
      it->second.geometry = now;
      break;
    }
    case MapNotify: {
      auto it = tracked_.find(event.xmap.window);
      if (it == tracked_.end()) break;
      it->second.mapped = true;
      history_.push_back({event.xmap.window, it->second.geometry, true});
      break;
    }
    case UnmapNotify: {
      auto it = tracked_.find(event.xunmap.window);
      if (it != tracked_.end()) it->second.mapped = false;
      break;
    }
    case DestroyNotify:
      tracked_.erase(event.xdestroywindow.window);
      break;
    default:
      break;
  }
}

void XScreen::Update() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Record(event);
  }
}

const std::vector<Shown>& XScreen::History() {
  Update();
  return history_;
}

std::optional<Shown> XScreen::WaitForFirstMap(Clock::duration timeout, std::size_t since) {
  std::optional<Shown> first;
  WaitUntil(timeout, [&] {
    const auto& history = History();
    for (std::size_t i = since; i < history.size(); ++i) {
      const Shown& shown = history[i];
      if (shown.mapEvent && (shown.geometry.width > 1 || shown.geometry.height > 1)) {
        first = shown;
        return true;
      }
    }
    return false;
  });
  return first;
}

bool XScreen::WaitForUnmap(Window window, Clock::duration timeout) {
  return WaitUntil(timeout, [&] {
    Update();
    auto it = tracked_.find(window);
    return it == tracked_.end() || !it->second.mapped;
  });
}

bool XScreen::WaitForMap(Window window, Clock::duration timeout) {
  return WaitUntil(timeout, [&] {
    Update();
    auto it = tracked_.find(window);
    return it != tracked_.end() && it->second.mapped;
  });
}

Window XScreen::UnderPointer() {
  Window root = 0;
  Window child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display_, root_, &root, &child, &rootX, &rootY, &x, &y, &mask);
  return child;
}

std::optional<Rect> XScreen::Geometry(Window window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes)) return std::nullopt;
  int x = 0;
  int y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display_, window, root_, 0, 0, &x, &y, &child)) return std::nullopt;
  return Rect{x, y, attributes.width, attributes.height};
}

std::vector<Rect> XScreen::ShapeRectangles(Window window) {
  std::vector<Rect> result;
  const auto at = Geometry(window);
  if (!at) return result;
  int count = 0;
  int ordering = 0;
  XRectangle* rectangles = XShapeGetRectangles(display_, window, ShapeBounding, &count, &ordering);
  // X shows none of the shape outside the window, where Wine 10 leaves rectangles of a
  // layered window's earlier, larger pictures.
  for (int i = 0; i < count; ++i) {
    const int left = std::max<int>(rectangles[i].x, 0);
    const int top = std::max<int>(rectangles[i].y, 0);
    const int right = std::min(rectangles[i].x + rectangles[i].width, at->width);
    const int bottom = std::min(rectangles[i].y + rectangles[i].height, at->height);
    if (left < right && top < bottom) {
      result.push_back(Rect{at->x + left, at->y + top, right - left, bottom - top});
    }
  }
  if (rectangles != nullptr) XFree(rectangles);
  return result;
}

std::vector<MappedWindow> XScreen::MappedWindows() {
  std::vector<MappedWindow> result;
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) return result;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, children[i], &attributes) ||
        attributes.map_state != IsViewable) {
      continue;
    }
    MappedWindow window;
    window.window = children[i];
    window.geometry = {attributes.x, attributes.y, attributes.width, attributes.height};
    window.overrideRedirect = attributes.override_redirect != 0;
    char* name = nullptr;
    if (XFetchName(display_, children[i], &name) && name != nullptr) {
      window.name = name;
      XFree(name);
    }
    result.push_back(window);
  }
  if (children != nullptr) XFree(children);
  return result;
}

Rgb XScreen::Pixel(int x, int y) {
  XImage* image = XGetImage(display_, root_, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) throw std::runtime_error("XScreen: cannot read the screen");
  const unsigned long pixel = XGetPixel(image, 0, 0);
  const Rgb colour{static_cast<std::uint8_t>(Channel(pixel, image->red_mask)),
                   static_cast<std::uint8_t>(Channel(pixel, image->green_mask)),
                   static_cast<std::uint8_t>(Channel(pixel, image->blue_mask))};
  XDestroyImage(image);
  return colour;
}

std::vector<std::string> XScreen::NetWmState(Window window) {
  std::vector<std::string> names;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
  if (XGetWindowProperty(display_, window, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                         &after, &data) != Success ||
      data == nullptr) {
    return names;
  }
  const auto* atoms = reinterpret_cast<const Atom*>(data);
  for (unsigned long i = 0; i < count; ++i) {
    char* name = XGetAtomName(display_, atoms[i]);
    if (name != nullptr) {
      names.emplace_back(name);
      XFree(name);
    }
  }
  XFree(data);
  return names;
}

std::optional<std::uint32_t> XScreen::Opacity(Window window) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const Atom opacity = XInternAtom(display_, "_NET_WM_WINDOW_OPACITY", False);
  if (XGetWindowProperty(display_, window, opacity, 0, 1, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::optional<std::uint32_t> value;
  // Xlib hands 32-bit properties over as longs.
  if (count == 1 && format == 32) {
    value = static_cast<std::uint32_t>(*reinterpret_cast<const unsigned long*>(data));
  }
  XFree(data);
  return value;
}

std::optional<CursorImage> XScreen::Cursor() {
  XFixesCursorImage* image = XFixesGetCursorImage(display_);
  if (image == nullptr) return std::nullopt;
  CursorImage cursor{image->width, image->height, image->xhot, image->yhot, {}};
  const std::size_t pixels = std::size_t{image->width} * image->height;
  for (std::size_t i = 0; i < pixels; ++i) {
    cursor.argb.push_back(static_cast<std::uint32_t>(image->pixels[i]));
  }
  XFree(image);
  return cursor;
}

std::string XScreen::FocusOwner() {
  Window window = 0;
  int revert = 0;
  XGetInputFocus(display_, &window, &revert);
  while (window != 0 && window != root_ && window != PointerRoot) {
    XClassHint hint{};
    if (XGetClassHint(display_, window, &hint) != 0) {
      const std::string name = hint.res_name != nullptr ? hint.res_name : "";
      if (hint.res_name != nullptr) XFree(hint.res_name);
      if (hint.res_class != nullptr) XFree(hint.res_class);
      return name;
    }
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, window, &rootReturn, &parent, &children, &count) == 0) break;
    if (children != nullptr) XFree(children);
    window = parent;
  }
  return {};
}

}  // namespace qd::e2e
