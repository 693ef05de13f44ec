#include "virtual_screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "wine_prefix.h"

namespace qd::e2e {

namespace fs = std::filesystem;

namespace {

// The server writes the display number it chose to this descriptor once it accepts
// connections.
std::string ReadDisplayNumber(int fd, Clock::duration timeout) {
  std::string text;
  const auto deadline = Clock::now() + timeout;
  while (text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return {};
    char buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text.substr(0, text.find('\n'));
}

// CEA timings; the dummy driver only checks them against the monitor's ranges.
std::string Modeline(const Rect& m) {
  if (m.width == 1920 && m.height == 1080) {
    return "148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync";
  }
  if (m.width == 1280 && m.height == 720) {
    return "74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync";
  }
  std::ostringstream size;
  size << m;
  throw std::invalid_argument("VirtualScreen: no mode for a monitor of " + size.str());
}

// One dummy output per monitor, placed where the monitor lies relative to the top-left
// corner of them all; no input devices but XTest's, and nothing from the system's own
// configuration.
std::string XorgConfiguration(const std::vector<Rect>& monitors, int left, int top, int width,
                              int height) {
  std::ostringstream conf;
  conf << "Section \"ServerFlags\"\n"
          "  Option \"AutoAddDevices\" \"false\"\n"
          "  Option \"AutoEnableDevices\" \"false\"\n"
          "  Option \"DontVTSwitch\" \"true\"\n"
          "  Option \"AllowMouseOpenFail\" \"true\"\n"
          "EndSection\n"
          "Section \"Device\"\n"
          "  Identifier \"dummy\"\n"
          "  Driver \"dummy\"\n"
          "  VideoRam 256000\n";
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    conf << "  Option \"Monitor-DUMMY" << i << "\" \"monitor" << i << "\"\n";
  }
  conf << "EndSection\n";
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const Rect& m = monitors[i];
    const std::string mode = std::to_string(m.width) + "x" + std::to_string(m.height);
    conf << "Section \"Monitor\"\n"
         << "  Identifier \"monitor" << i << "\"\n"
         << "  HorizSync 5.0 - 1000.0\n"
         << "  VertRefresh 5.0 - 200.0\n"
         << "  Modeline \"" << mode << "\" " << Modeline(m) << "\n"
         << "  Option \"PreferredMode\" \"" << mode << "\"\n"
         << "  Option \"Position\" \"" << m.x - left << " " << m.y - top << "\"\n"
         << (i == 0 ? "  Option \"Primary\" \"true\"\n" : "  Option \"Enable\" \"true\"\n")
         << "EndSection\n";
  }
  conf << "Section \"Screen\"\n"
          "  Identifier \"screen\"\n"
          "  Device \"dummy\"\n"
          "  Monitor \"monitor0\"\n"
          "  DefaultDepth 24\n"
          "  SubSection \"Display\"\n"
          "    Depth 24\n"
       << "    Virtual " << width << " " << height << "\n"
       << "  EndSubSection\n"
          "EndSection\n";
  return conf.str();
}

}  // namespace

VirtualScreen::VirtualScreen(int width, int height)
    : VirtualScreen(std::vector<Rect>{Rect{0, 0, width, height}}) {}

VirtualScreen::VirtualScreen(const std::vector<Rect>& monitors, Focus focus) : monitors_(monitors) {
  if (monitors_.empty() || monitors_.front().x != 0 || monitors_.front().y != 0) {
    throw std::invalid_argument("VirtualScreen: the first monitor is the primary, at 0,0");
  }
  if (monitors_.size() == 1) {
    const std::string size = std::to_string(Width()) + "x" + std::to_string(Height()) + "x24";
    Start({"Xvfb", "-screen", "0", size, "-nolisten", "tcp", "-noreset"}, "Xvfb");
    if (focus == Focus::ClickToFocus) StartWindowManager();
    return;
  }
  int right = 0;
  int bottom = 0;
  for (const Rect& m : monitors_) {
    left_ = std::min(left_, m.x);
    top_ = std::min(top_, m.y);
    right = std::max(right, m.x + m.width);
    bottom = std::max(bottom, m.y + m.height);
  }
  static std::atomic<int> counter{0};
  folder_ = WorkDir() / ("xorg-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(folder_);
  fs::create_directories(folder_ / "conf.d");
  std::ofstream(folder_ / "xorg.conf")
      << XorgConfiguration(monitors_, left_, top_, right - left_, bottom - top_);
  // -sharevts: a developer's console is never switched away to a VT of the test's own.
  Start({"Xorg", "-config", (folder_ / "xorg.conf").string(), "-configdir",
         (folder_ / "conf.d").string(), "-logfile", (folder_ / "xorg.log").string(), "-sharevts",
         "-novtswitch", "-noreset", "-nolisten", "tcp"},
        "Xorg with the dummy video driver (packages xserver-xorg-core and "
        "xserver-xorg-video-dummy; some systems let only root start it)");
  if (focus == Focus::ClickToFocus) StartWindowManager();
}

// Openbox, click to focus by default; ready once it has marked the root as managed.
void VirtualScreen::StartWindowManager() {
  ProcessOptions options;
  options.argv = {"openbox", "--sm-disable"};
  options.setEnv = {{"DISPLAY", display_}};
  windowManager_ = std::make_unique<Process>(options);
  ::Display* connection = XOpenDisplay(display_.c_str());
  const Atom check =
      connection != nullptr ? XInternAtom(connection, "_NET_SUPPORTING_WM_CHECK", False) : 0;
  const bool ready =
      connection != nullptr && WaitUntil(20s, [&] {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const bool set =
            XGetWindowProperty(connection, DefaultRootWindow(connection), check, 0, 1, False,
                               XA_WINDOW, &type, &format, &items, &after, &data) == Success &&
            items == 1;
        if (data != nullptr) XFree(data);
        return set;
      });
  if (connection != nullptr) XCloseDisplay(connection);
  if (!ready) {
    windowManager_->Kill();
    server_->Kill();
    RemoveFolder();
    throw std::runtime_error("VirtualScreen: openbox (package openbox) did not start on " +
                             display_);
  }
}

void VirtualScreen::Start(std::vector<std::string> argv, const std::string& name) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("VirtualScreen: pipe failed");
  ProcessOptions options;
  // -displayfd picks a free display number, so parallel tests never collide.
  argv.insert(argv.begin() + 1, {"-displayfd", std::to_string(fds[1])});
  options.argv = std::move(argv);
  options.inheritFd = fds[1];
  if (!folder_.empty()) options.outputFile = (folder_ / "server.out").string();
  server_ = std::make_unique<Process>(options);
  close(fds[1]);
  const std::string number = ReadDisplayNumber(fds[0], 20s);
  close(fds[0]);
  if (number.empty()) {
    server_->Kill();
    const std::string errors = Errors();
    RemoveFolder();
    throw std::runtime_error("VirtualScreen: " + name + " did not start" +
                             (errors.empty() ? std::string() : ":\n" + errors));
  }
  display_ = ":" + number;
  const bool accepts = WaitUntil(10s, [this] {
    ::Display* probe = XOpenDisplay(display_.c_str());
    if (probe == nullptr) return false;
    XCloseDisplay(probe);
    return true;
  });
  if (!accepts) {
    server_->Kill();
    RemoveFolder();
    throw std::runtime_error("VirtualScreen: " + display_ + " refuses connections");
  }
  // The server's own keys would take Ctrl+Alt+F1 to F12 for switching virtual terminals,
  // and no program would see them; on Windows they are keys like any other.
  ProcessOptions keys;
  keys.argv = {"setxkbmap", "-display", display_, "-option", "srvrkeys:none"};
  const RunResult set = Run(keys, 30s);
  if (!set.status || !set.status->exited || set.status->code != 0) {
    server_->Kill();
    RemoveFolder();
    throw std::runtime_error("VirtualScreen: setxkbmap (package x11-xkb-utils) failed on " +
                             display_);
  }
}

// What the server said went wrong: its error lines, from its log or, if it wrote none, from
// its output.
std::string VirtualScreen::Errors() const {
  std::string errors;
  for (const char* file : {"xorg.log", "server.out"}) {
    std::ifstream in(folder_ / file);
    for (std::string line; std::getline(in, line);) {
      const bool legend = line.find("(EE) error,") != std::string::npos;
      if ((line.find("(EE)") != std::string::npos && !legend) ||
          line.find("Fatal server error") != std::string::npos) {
        errors += line + "\n";
      }
    }
    if (!errors.empty()) break;
  }
  return errors;
}

VirtualScreen::~VirtualScreen() {
  if (windowManager_) windowManager_->Kill();
  server_->Kill();
  RemoveFolder();
}

void VirtualScreen::RemoveFolder() const {
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

}  // namespace qd::e2e
