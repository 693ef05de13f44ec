// How long the middle-button fades of Quiverdart.exe take under Wine, against their
// nominal length: 22 pauses of Delay(60), which waits 59 ms, between 23 opacity steps.
// Prints figures and ratios; judges nothing.
//
//   fade_bench [--runs N]
//
// One opaque arrow (AlphaBlendIndex=22) is faded out and in N times. A fade-out is timed
// from the XTest middle click to the PropertyNotify that brings the opacity Wine reports to
// 2 (alpha 2, the last step); a fade-in from the click to the property's removal, which
// comes when translucency is switched off at its end.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/select.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "arrow_run.h"

namespace qd::e2e {
namespace {

constexpr double kNominalMs = 22 * 59.0;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Watches the arrow's opacity property on a connection of its own, so that each change is
// timed when it arrives and not when some other reader gets round to it.
class OpacityWatch {
 public:
  OpacityWatch(const std::string& display, Window window) : window_(window) {
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
      std::fprintf(stderr, "cannot open %s\n", display.c_str());
      std::exit(1);
    }
    atom_ = XInternAtom(display_, "_NET_WM_WINDOW_OPACITY", False);
    XSelectInput(display_, window_, PropertyChangeMask);
    XSync(display_, False);
  }
  ~OpacityWatch() { XCloseDisplay(display_); }
  OpacityWatch(const OpacityWatch&) = delete;
  OpacityWatch& operator=(const OpacityWatch&) = delete;

  // Waits for the alpha (nothing: the property removed); the time it arrived, or nothing
  // at the deadline.
  std::optional<Clock::time_point> WaitFor(std::optional<std::uint32_t> alpha,
                                           Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    const int fd = ConnectionNumber(display_);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto now = Clock::now();
        if (event.type != PropertyNotify || event.xproperty.atom != atom_) continue;
        if (Read() == alpha) return now;
      }
      const auto left = deadline - Clock::now();
      if (left <= Clock::duration::zero()) return std::nullopt;
      const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
      timeval wait{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(fd, &readable);
      select(fd + 1, &readable, nullptr, nullptr, &wait);
    }
  }

  std::optional<std::uint32_t> Read() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window_, atom_, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) != Success ||
        data == nullptr) {
      return std::nullopt;
    }
    std::optional<std::uint32_t> alpha;
    if (count == 1 && format == 32) {
      alpha = static_cast<std::uint32_t>(*reinterpret_cast<const unsigned long*>(data)) /
              kOpacityUnit;
    }
    XFree(data);
    return alpha;
  }

 private:
  ::Display* display_ = nullptr;
  Window window_;
  Atom atom_ = 0;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Print(const char* name, const std::vector<double>& ms) {
  if (ms.empty()) {
    std::printf("%s runs=0\n", name);
    return;
  }
  const double median = Median(ms);
  std::printf("%s median=%.0f min=%.0f max=%.0f runs=%zu nominal=%.0f ratio=%.2f\n", name, median,
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
              ms.size(), kNominalMs, median / kNominalMs);
}

int Main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: fade_bench [--runs N]\n");
      return 2;
    }
  }
  ArrowRun run(1920, 1080, "[Pointer]\r\nAlphaBlendIndex=22\r\n");
  if (run.Arrow() == 0) {
    std::fprintf(stderr, "the arrow did not show\n");
    return 1;
  }
  OpacityWatch watch(run.S().Screen().Display(), run.Arrow());
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
  // The arrow paints and sets its opacity right after the first map; let that settle.
  if (!WaitUntil(10s, [&] { return !watch.Read(); })) {
    std::fprintf(stderr, "the arrow did not start opaque\n");
    return 1;
  }
  std::vector<double> out;
  std::vector<double> in;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    run.Input().Click(2);
    const auto faded = watch.WaitFor(2u, 20s);
    if (!faded) {
      std::fprintf(stderr, "run %d: the fade-out did not reach alpha 2\n", i + 1);
      return 1;
    }
    out.push_back(Ms(*faded - start));
    start = Clock::now();
    run.Input().Click(2);
    const auto back = watch.WaitFor(std::nullopt, 20s);
    if (!back) {
      std::fprintf(stderr, "run %d: the fade-in did not end opaque\n", i + 1);
      return 1;
    }
    in.push_back(Ms(*back - start));
  }
  Print("fade_full_ms", out);
  Print("fade_in_full_ms", in);
  return 0;
}

}  // namespace
}  // namespace qd::e2e

int main(int argc, char** argv) { return qd::e2e::Main(argc, argv); }
