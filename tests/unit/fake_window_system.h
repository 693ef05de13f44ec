// A window system for the unit tests: logs every call in order and answers from a
// script that the test sets up. A fake system services object can log into the same
// log (fake_system_services.h), so that it shows the order of calls across both.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/window_system.h"

namespace qd::test {

// Pixels with an alpha each, owned: what a window shows or is lent to be drawn in.
struct PixelImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
};

class FakeWindowSystem final : public WindowSystem {
 public:
  // --- what the test scripts ---
  TRect workArea{0, 0, 1920, 1080};
  TPoint cursorPos{0, 0};
  // Empty: one primary monitor whose bounds are the work area.
  std::vector<MonitorInfo> monitors;
  bool listsNoMonitor = false;   // GetMonitors lists none, as in the midst of a display change
  bool hotKeyTaken = false;      // RegisterHotKey refused, as when another program holds it
  bool minimised = false;        // RestoreApplication restores and runs the restore event
  bool handOverAnswered = true;  // HandOver finds the running program's window answering
  std::function<void()> whileHandingOver;  // runs while HandOver waits for no answer
  // How far off the system reports the program's own moves of a shown window, as on a
  // monitor whose scale differs from the primary's.
  TPoint ownMoveReportedOff{0, 0};
  // Runs inside SetWindowBounds once the bounds are taken, as a change of scale that Windows
  // reports from inside the program's own move.
  std::function<void()> onSetBounds;
  // Reports a change of the window's own DPI from inside SetWindowBounds, as Windows does
  // for a per-monitor aware window: the DPI of the monitor that holds most of the window.
  // Nested reports stop at a depth of 8, so that a program that ping-pongs ends.
  bool reportsWindowDpi = false;
  std::function<TColor(TPoint)> screenPixel = [](TPoint) { return TColor{0}; };
  bool layeredAttributesAvailable = true;
  bool refuseTimers = false;
  bool refuseRegions = false;
  bool refuseWindow = false;
  // Images of more pixels than this cannot be made (the old one is gone); shows refused.
  std::optional<std::int64_t> imagePixelLimit;
  bool refuseImageShows = false;
  std::deque<int> menuChoices;   // answers of TrackPopupMenu, 0 when empty
  std::function<void()> onMenu;  // runs while the menu is open
  // Answer of ChooseColor: nullopt cancels; otherwise the colour and custom colours chosen.
  std::function<bool(TColor&, std::array<TColor, 16>&)> chooseColor;
  std::function<void()> onProcessMessages;  // runs nested handlers in ProcessMessages
  std::function<void()> onLayeredAlpha;     // runs as a new opacity shows: a slow screen
  std::function<void(const std::string&)> onMessageBox;
  NativeWindow keyboardOwner;  // what KeyboardOwner answers

  // --- what the test observes ---
  // The window as the user sees it: bounds, the outline it is cut to (none: uncut), shown
  // or not, its opacity, the colour last painted over it and the cursor last applied.
  struct Window {
    TRect bounds{};  // left, top, right, bottom
    std::vector<TPoint> region;
    bool visible = false;
    bool layered = false;
    std::uint8_t alpha = 255;
    // The image with alpha per pixel it shows, the one lent to be drawn in, and the shown
    // image's constant alpha.
    PixelImage image;
    PixelImage lent;
    std::uint8_t imageAlpha = 255;
    TColor fill = 0;
    NativeCursor cursor;
  } window;
  std::vector<std::string> log;
  WindowEvents* events = nullptr;
  std::set<unsigned> runningTimers;
  int openCanvases = 0;
  int regionsCreated = 0;
  std::vector<std::string> messageBoxes;  // "caption|text"
  // Calls that named no window (the owners of boxes and dialogs aside): the system would
  // take them for the whole screen or for no window at all.
  int nullWindowCalls = 0;
  int dpiReports = 0;  // changes of the window's DPI reported

  // Runs the handler of a running timer, as a tick from the message loop would.
  void Tick(unsigned timerId);
  // Log entries that start with the prefix, in order.
  std::vector<std::string> Calls(const std::string& prefix) const;
  void ClearLog() { log.clear(); }

  // --- WindowSystem ---
  void SetApplicationTitle(const std::string& title) override;
  NativeWindow CreateAppWindow(const WindowParams& params, WindowEvents& sink) override;
  void DestroyAppWindow(NativeWindow window) override;
  void SetWindowBounds(NativeWindow window, int left, int top, int width, int height) override;
  void ShowAppWindow(NativeWindow window, bool visible) override;
  OwnedRegion CreatePolygonRegion(const std::vector<TPoint>& points) override;
  void SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) override;
  void SetLayered(NativeWindow window, bool layered) override;
  bool HasLayeredAttributes() override { return layeredAttributesAvailable; }
  void SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) override;
  PixelView WindowImagePixels(NativeWindow window, std::int32_t width,
                              std::int32_t height) override;
  bool ShowWindowImage(NativeWindow window, int left, int top) override;
  void SetImageAlpha(NativeWindow window, std::uint8_t alpha) override;
  void Invalidate(NativeWindow window) override;
  std::unique_ptr<Canvas> GetCanvas(NativeWindow window) override;
  bool StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) override;
  void StopTimer(NativeWindow window, unsigned timerId) override;
  void RunMessageLoop(NativeWindow mainWindow) override;
  void ProcessMessages() override;
  void PostQuit() override;
  TPoint GetCursorPos() override { return cursorPos; }
  NativeCursor LoadCursorResource(const std::string& name) override;
  void ApplyCursor(NativeWindow window, NativeCursor cursor) override;
  TRect GetWorkArea() override { return workArea; }
  std::vector<MonitorInfo> GetMonitors() override;
  TColor GetScreenPixel(TPoint screenPos) override;
  bool RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                      std::uint16_t key) override;
  void UnregisterHotKey(NativeWindow window, int hotKeyId) override;
  void RaiseWithoutActivation(NativeWindow window) override;
  bool RestoreApplication() override;
  void AnswerHandOvers(NativeWindow /*window*/, const std::string& name) override {
    log.push_back("AnswerHandOvers " + name);
  }
  bool HandOver(const std::string& name, const std::function<bool()>& ended) override {
    log.push_back("HandOver " + name);
    if (handOverAnswered) return true;
    if (whileHandingOver) whileHandingOver();
    ended();
    return false;
  }
  void BringOpenBoxToFront() override { log.push_back("BringOpenBoxToFront"); }
  NativeWindow KeyboardOwner() override;
  void GiveKeyboardBack(NativeWindow previousOwner) override;
  int TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                     TPoint screenPos) override;
  void ShowMessageBox(NativeWindow owner, const std::string& text, const std::string& caption,
                      MessageKind kind) override;
  bool ChooseColor(NativeWindow owner, TColor& color, std::array<TColor, 16>& custom, bool fullOpen,
                   bool solidOnly) override;

 private:
  bool DeleteRegion(NativeRegion region) override;
  void CountNullWindow(NativeWindow window);
  // The program's own move of the window, reported as Windows does (and its DPI with it).
  void MoveByProgram(int left, int top, int width, int height);

  std::map<std::uintptr_t, std::vector<TPoint>> regions_;  // made and not yet handed over

  std::uintptr_t nextRegion_ = 1;
  std::uint32_t windowDpi_ = 0;
  int dpiDepth_ = 0;
};

std::string ColorText(TColor color);

}  // namespace qd::test
