// A private Xvfb server on a display number of its own, for the life of the object.
#pragma once

#include <memory>
#include <string>

#include "process.h"

namespace qd::e2e {

class VirtualScreen {
 public:
  VirtualScreen(int width, int height);
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  const std::string& Display() const { return display_; }  // ":N"
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_;
  int height_;
  std::string display_;
  std::unique_ptr<Process> server_;
};

}  // namespace qd::e2e
