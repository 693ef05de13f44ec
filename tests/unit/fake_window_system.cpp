#include "fake_window_system.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace qd::test {

namespace {

constexpr NativeWindow kWindow{0x100};

std::string PointsText(const std::vector<TPoint>& points) {
  std::string text;
  for (const TPoint& p : points) {
    text += " (" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
  }
  return text;
}

class FakeCanvas final : public Canvas {
 public:
  explicit FakeCanvas(FakeWindowSystem& ws) : ws_(ws) { ++ws_.openCanvases; }
  ~FakeCanvas() override { --ws_.openCanvases; }
  FakeCanvas(const FakeCanvas&) = delete;
  FakeCanvas& operator=(const FakeCanvas&) = delete;
  void FillRect(const TRect& r, TColor color) override {
    ws_.window.fill = color;
    ws_.log.push_back("FillRect " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                      std::to_string(r.right) + " " + std::to_string(r.bottom) + " " +
                      ColorText(color));
  }
  void Polyline(const std::vector<TPoint>& points, int penWidth, TColor penColor) override {
    ws_.log.push_back("Polyline w" + std::to_string(penWidth) + " " + ColorText(penColor) +
                      PointsText(points));
  }

 private:
  FakeWindowSystem& ws_;
};

}  // namespace

std::string ColorText(TColor color) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(color));
  return text;
}

void FakeWindowSystem::Tick(unsigned timerId) {
  if (runningTimers.contains(timerId) && events != nullptr) {
    events->OnTimer(timerId);
  }
}

std::vector<std::string> FakeWindowSystem::Calls(const std::string& prefix) const {
  std::vector<std::string> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [&](const std::string& line) { return line.starts_with(prefix); });
  return out;
}

std::vector<MonitorInfo> FakeWindowSystem::GetMonitors() {
  if (listsNoMonitor) {
    return {};
  }
  if (monitors.empty()) {
    return {MonitorInfo{workArea, workArea, true}};
  }
  return monitors;
}

bool FakeWindowSystem::RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                                      std::uint16_t key) {
  CountNullWindow(window);
  log.push_back("RegisterHotKey " + std::to_string(hotKeyId) + " " + std::to_string(modifiers) +
                " " + std::to_string(key));
  return !hotKeyTaken;
}

void FakeWindowSystem::UnregisterHotKey(NativeWindow window, int hotKeyId) {
  CountNullWindow(window);
  log.push_back("UnregisterHotKey " + std::to_string(hotKeyId));
}

void FakeWindowSystem::RaiseWithoutActivation(NativeWindow window) {
  CountNullWindow(window);
  log.push_back("RaiseWithoutActivation");
}

NativeWindow FakeWindowSystem::KeyboardOwner() { return keyboardOwner; }

void FakeWindowSystem::GiveKeyboardBack(NativeWindow previousOwner) {
  log.push_back("GiveKeyboardBack " + std::to_string(previousOwner.Value()));
}

bool FakeWindowSystem::RestoreApplication() {
  if (!minimised) {
    return false;
  }
  minimised = false;
  log.push_back("RestoreApplication");
  if (events != nullptr) {
    events->ApplicationOnRestore();
  }
  return true;
}

void FakeWindowSystem::CountNullWindow(NativeWindow window) {
  if (!window) {
    ++nullWindowCalls;
  }
}

void FakeWindowSystem::SetApplicationTitle(const std::string& title) {
  log.push_back("SetApplicationTitle " + title);
}

NativeWindow FakeWindowSystem::CreateAppWindow(const WindowParams& params, WindowEvents& sink) {
  if (refuseWindow) {
    log.push_back("CreateAppWindow refused");
    return {};
  }
  events = &sink;
  this->window.bounds = params.bounds;
  this->window.layered = params.layered;
  log.push_back("CreateAppWindow " + std::to_string(params.bounds.left) + " " +
                std::to_string(params.bounds.top) + " " + std::to_string(params.bounds.right) +
                " " + std::to_string(params.bounds.bottom) + (params.topMost ? " topmost" : "") +
                (params.layered ? " layered" : ""));
  return kWindow;
}

void FakeWindowSystem::DestroyAppWindow(NativeWindow window) {
  CountNullWindow(window);
  log.push_back("DestroyAppWindow");
  events = nullptr;
}

void FakeWindowSystem::SetWindowBounds(NativeWindow window, int left, int top, int width,
                                       int height) {
  CountNullWindow(window);
  log.push_back("SetWindowBounds " + std::to_string(left) + " " + std::to_string(top) + " " +
                std::to_string(width) + " " + std::to_string(height));
  MoveByProgram(left, top, width, height);
}

void FakeWindowSystem::MoveByProgram(int left, int top, int width, int height) {
  const int reportedLeft = left + ownMoveReportedOff.x;
  const int reportedTop = top + ownMoveReportedOff.y;
  this->window.bounds = {reportedLeft, reportedTop, reportedLeft + width, reportedTop + height};
  // Told from inside the call, as Windows does.
  if (this->window.visible && events != nullptr) {
    events->OnBoundsChanged(reportedLeft, reportedTop, width, height, MovedBy::Program);
  }
  if (onSetBounds) {
    onSetBounds();
  }
  if (!reportsWindowDpi || events == nullptr) {
    return;
  }
  std::uint32_t dpi = windowDpi_;
  long long most = 0;
  for (const MonitorInfo& m : GetMonitors()) {
    const TRect& b = this->window.bounds;
    const long long w = std::min(b.right, m.bounds.right) - std::max(b.left, m.bounds.left);
    const long long h = std::min(b.bottom, m.bounds.bottom) - std::max(b.top, m.bounds.top);
    if (w > 0 && h > 0 && w * h > most) {
      most = w * h;
      dpi = m.dpi;
    }
  }
  const std::uint32_t before = std::exchange(windowDpi_, dpi);
  if (before != 0 && dpi != before && dpiDepth_ < 8) {
    ++dpiReports;
    ++dpiDepth_;
    events->OnDpiChanged();
    --dpiDepth_;
  }
}

void FakeWindowSystem::ShowAppWindow(NativeWindow window, bool visible) {
  CountNullWindow(window);
  log.push_back(visible ? "ShowAppWindow" : "HideAppWindow");
  this->window.visible = visible;
}

OwnedRegion FakeWindowSystem::CreatePolygonRegion(const std::vector<TPoint>& points) {
  log.push_back("CreatePolygonRegion" + PointsText(points));
  if (refuseRegions) {
    return {};
  }
  ++regionsCreated;
  regions_[nextRegion_] = points;
  return {*this, NativeRegion{nextRegion_++}};
}

void FakeWindowSystem::SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) {
  CountNullWindow(window);
  log.push_back("SetWindowRegion " + std::to_string(region.Get().Value()) +
                (redraw ? " redraw" : ""));
  this->window.region = regions_[region.Get().Value()];
  regions_.erase(region.Get().Value());
  static_cast<void>(region.Release());  // the window's now
}

bool FakeWindowSystem::DeleteRegion(NativeRegion region) {
  log.push_back("DeleteRegion " + std::to_string(region.Value()));
  regions_.erase(region.Value());
  return true;
}

void FakeWindowSystem::SetLayered(NativeWindow window, bool layered) {
  CountNullWindow(window);
  log.push_back(layered ? "SetLayered on" : "SetLayered off");
  this->window.layered = layered;
  if (!layered) {
    // The image goes with the style.
    this->window.image = {};
    this->window.lent = {};
  }
}

void FakeWindowSystem::SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) {
  CountNullWindow(window);
  log.push_back("SetLayeredAlpha " + std::to_string(alpha));
  this->window.alpha = alpha;
  if (onLayeredAlpha) {
    onLayeredAlpha();
  }
}

PixelView FakeWindowSystem::WindowImagePixels(NativeWindow window, std::int32_t width,
                                              std::int32_t height) {
  CountNullWindow(window);
  log.push_back("WindowImagePixels " + std::to_string(width) + "x" + std::to_string(height));
  PixelImage& lent = this->window.lent;
  if (imagePixelLimit && std::int64_t{width} * height > *imagePixelLimit) {
    lent = {};  // the old image went first
    return {};
  }
  if (lent.width != width || lent.height != height) {
    // A new image holds what the memory held before: colour above its alpha.
    lent = {width, height,
            std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, 0x40FFFFFFU)};
  }
  return {width, height, lent.pixels};
}

bool FakeWindowSystem::ShowWindowImage(NativeWindow window, int left, int top) {
  CountNullWindow(window);
  const PixelImage& lent = this->window.lent;
  log.push_back("ShowWindowImage " + std::to_string(lent.width) + "x" +
                std::to_string(lent.height) + " at " + std::to_string(left) + " " +
                std::to_string(top));
  if (refuseImageShows || lent.pixels.empty()) {
    return false;
  }
  this->window.image = lent;
  MoveByProgram(left, top, lent.width, lent.height);
  return true;
}

void FakeWindowSystem::SetImageAlpha(NativeWindow window, std::uint8_t alpha) {
  CountNullWindow(window);
  log.push_back("SetImageAlpha " + std::to_string(alpha));
  this->window.imageAlpha = alpha;
}

void FakeWindowSystem::Invalidate(NativeWindow window) {
  CountNullWindow(window);
  log.push_back("Invalidate");
}

std::unique_ptr<Canvas> FakeWindowSystem::GetCanvas(NativeWindow window) {
  CountNullWindow(window);
  return std::make_unique<FakeCanvas>(*this);
}

bool FakeWindowSystem::StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) {
  CountNullWindow(window);
  log.push_back("StartTimer " + std::to_string(timerId) + " " + std::to_string(intervalMs));
  if (refuseTimers) {
    return false;
  }
  runningTimers.insert(timerId);
  return true;
}

void FakeWindowSystem::StopTimer(NativeWindow window, unsigned timerId) {
  CountNullWindow(window);
  log.push_back("StopTimer " + std::to_string(timerId));
  runningTimers.erase(timerId);
}

void FakeWindowSystem::RunMessageLoop(NativeWindow mainWindow) {
  CountNullWindow(mainWindow);
  log.push_back("RunMessageLoop");
  this->window.visible = true;
}

void FakeWindowSystem::ProcessMessages() {
  log.push_back("ProcessMessages");
  if (onProcessMessages) {
    auto hook = std::move(onProcessMessages);
    onProcessMessages = nullptr;  // nested pumps see an empty queue
    hook();
  }
}

void FakeWindowSystem::PostQuit() { log.push_back("PostQuit"); }

NativeCursor FakeWindowSystem::LoadCursorResource(const std::string& name) {
  log.push_back("LoadCursorResource " + name);
  if (name == "HandFlat") {
    return NativeCursor{0xF1};
  }
  if (name == "HandGrab") {
    return NativeCursor{0xF2};
  }
  return {};
}

void FakeWindowSystem::ApplyCursor(NativeWindow window, NativeCursor cursor) {
  CountNullWindow(window);
  log.push_back("ApplyCursor " + std::to_string(cursor.Value()));
  this->window.cursor = cursor;
}

TColor FakeWindowSystem::GetScreenPixel(TPoint screenPos) {
  log.push_back("GetScreenPixel " + std::to_string(screenPos.x) + " " +
                std::to_string(screenPos.y));
  return screenPixel(screenPos);
}

int FakeWindowSystem::TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                                     TPoint screenPos) {
  CountNullWindow(owner);
  std::string text =
      "TrackPopupMenu " + std::to_string(screenPos.x) + " " + std::to_string(screenPos.y);
  for (const MenuItemView& item : items) {
    text += " [" + item.caption + "|" + item.shortcutText + (item.checked ? "|checked" : "") +
            (item.enabled ? "" : "|disabled") + "|" + item.glyphResource + "]";
  }
  log.push_back(text);
  if (onMenu) {
    onMenu();
  }
  if (menuChoices.empty()) {
    return 0;
  }
  const int choice = menuChoices.front();
  menuChoices.pop_front();
  return choice;
}

void FakeWindowSystem::ShowMessageBox(NativeWindow /*owner*/, const std::string& text,
                                      const std::string& caption, MessageKind kind) {
  log.push_back(std::string(kind == MessageKind::Plain ? "MessageBox " : "ErrorBox ") + caption);
  messageBoxes.push_back(caption + "|" + text);
  if (onMessageBox) {
    onMessageBox(text);
  }
}

bool FakeWindowSystem::ChooseColor(NativeWindow /*owner*/, TColor& color,
                                   std::array<TColor, 16>& custom, bool fullOpen, bool solidOnly) {
  log.push_back("ChooseColor " + ColorText(color) + (fullOpen ? " fullopen" : "") +
                (solidOnly ? " solid" : ""));
  return chooseColor ? chooseColor(color, custom) : false;
}

}  // namespace qd::test
