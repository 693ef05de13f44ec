#include "virtual_screen.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace qd::e2e {

namespace {

// Xvfb writes the display number it chose to this descriptor once it accepts connections.
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

}  // namespace

VirtualScreen::VirtualScreen(int width, int height) : width_(width), height_(height) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("VirtualScreen: pipe failed");
  ProcessOptions options;
  // -displayfd picks a free display number, so parallel tests never collide.
  options.argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                  std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten",
                  "tcp", "-noreset"};
  options.inheritFd = fds[1];
  server_ = std::make_unique<Process>(options);
  close(fds[1]);
  const std::string number = ReadDisplayNumber(fds[0], 20s);
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("VirtualScreen: Xvfb did not start");
  display_ = ":" + number;
  const bool accepts = WaitUntil(10s, [this] {
    ::Display* probe = XOpenDisplay(display_.c_str());
    if (probe == nullptr) return false;
    XCloseDisplay(probe);
    return true;
  });
  if (!accepts) throw std::runtime_error("VirtualScreen: " + display_ + " refuses connections");
}

VirtualScreen::~VirtualScreen() {
  server_->Kill();
}

}  // namespace qd::e2e
