// A private X server on a display number of its own, for the life of the object: Xvfb for
// one monitor, Xorg with the dummy video driver for several (Xvfb cannot give Wine two
// monitors side by side).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "x_screen.h"

namespace qd::e2e {

// Who has the keyboard. With no window manager it follows the pointer, and Wine moves
// Windows' foreground with it, which no Windows desktop does; tests of which window has the
// keyboard run under a click-to-focus window manager (openbox), which puts the windows it
// manages into frames of its own.
enum class Focus : std::uint8_t { FollowsPointer, ClickToFocus };

class VirtualScreen {
 public:
  VirtualScreen(int width, int height);
  // Monitors in Windows coordinates: the first is the primary, at 0,0; one left of or above
  // it has negative coordinates. With more than one, the server is Xorg (which some systems
  // let only root start); a server that cannot start throws with what it said.
  explicit VirtualScreen(const std::vector<Rect>& monitors, Focus focus = Focus::FollowsPointer);
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  const std::string& Display() const { return display_; }  // ":N"
  // The primary monitor's size.
  int Width() const { return monitors_.front().width; }
  int Height() const { return monitors_.front().height; }
  // Where a point in Windows coordinates lies on the X root as the server started: X's
  // origin is the top-left corner of all monitors together, not the primary's. Wine moves
  // that origin as monitors go off and on, but leaves a window that has not moved since at
  // its old X place, which may then lie off the X screen: watch such a window through the
  // probe.
  int XFromWindowsX(int x) const { return x - left_; }
  int YFromWindowsY(int y) const { return y - top_; }

 private:
  void Start(std::vector<std::string> argv, const std::string& name);
  void StartWindowManager();
  std::string Errors() const;
  void RemoveFolder() const;

  std::vector<Rect> monitors_;
  int left_ = 0;
  int top_ = 0;
  std::filesystem::path folder_;  // Xorg's configuration and log
  std::string display_;
  std::unique_ptr<Process> server_;
  std::unique_ptr<Process> windowManager_;
};

}  // namespace qd::e2e
