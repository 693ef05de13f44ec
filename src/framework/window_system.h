// The window system: the program's windows, drawing, timers, cursors, menus, dialogs and
// the message pump, as the operating system provides them. The Win32 backend implements
// it for the real program; the unit tests implement a recording fake. Nothing above this
// interface includes <windows.h>. Files, registry, environment, locale and the blocking
// delay are the system services (system_services.h). Every text is UTF-8: the backend
// shows it through the wide calls, so that names from the system show whatever their
// letters.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/native_handles.h"
#include "framework/types.h"

namespace qd {

// A drawing surface on the window, released when the object goes away.
class Canvas {
 public:
  Canvas() = default;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  virtual ~Canvas() = default;
  // Solid fill; right and bottom edges excluded.
  virtual void FillRect(const TRect& rect, TColor color) = 0;
  // Open polyline with a hollow brush and a plain solid pen of the given width, with
  // round ends and corners.
  virtual void Polyline(const std::vector<TPoint>& points, int penWidth, TColor penColor) = 0;
};

// The form's events as the backend delivers them: the window procedure decodes a message
// and calls one of these, each with the event's own arguments. The form's handlers are
// named as the main form has always named them; the rest the framework's TForm answers.
// Coordinates of mouse events are window-relative unless named otherwise.
// Who changed a window's bounds: the program through SetWindowBounds, or anyone else (the
// system rearranging monitors, another tool, the system's own commands).
enum class MovedBy : std::uint8_t { Program, System };

// What a running program tells a second start for the same name (WindowSystem::HandOver).
enum class HandOverAnswer : std::uint8_t {
  // Its arrow comes to the pointer, or its open menu or box to the front: the start ends.
  HandedOver,
  // It is on its way out (a box of the exit may still be up): the start waits for the name
  // to be free, however long that takes, and becomes the arrow.
  Ending,
};

class WindowEvents {
 public:
  WindowEvents() = default;
  WindowEvents(const WindowEvents&) = delete;
  WindowEvents& operator=(const WindowEvents&) = delete;
  virtual ~WindowEvents() = default;

  // Lifetime: after the window is made (hidden), and before it goes.
  virtual void FormMainOnCreate() = 0;
  virtual void FormMainOnDestroy() = 0;
  // The whole window, whatever asked for the paint.
  virtual void FormMainOnPaint(Canvas& canvas) = 0;
  virtual void FormMainOnMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) = 0;
  virtual void FormMainOnMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) = 0;
  virtual void FormMainOnMouseMove(TShiftState Shift, int X, int Y) = 0;
  virtual void FormMainOnDblClick() = 0;
  // The mouse was taken from the window during a press: no release will come.
  virtual void OnCaptureLost() = 0;
  // One call, one step: only the sign of the delta counts. Screen position.
  virtual void FormMainOnMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) = 0;
  // A wheel message as the system sends it, with the message's time in milliseconds
  // (wrapping); the form adds the deltas up into steps (TForm).
  virtual void OnMouseWheelMessage(TShiftState Shift, int WheelDelta, TPoint MousePos,
                                   std::uint32_t time) = 0;
  virtual void FormMainOnKeyDown(std::uint16_t Key, TShiftState Shift) = 0;
  virtual void FormMainOnKeyUp(std::uint16_t Key, TShiftState Shift) = 0;
  virtual void FormMainOnKeyPress(char Key) = 0;
  // Context-menu request (right click or the keyboard's menu key); screen position.
  virtual void FormMainOnContextPopup(TPoint MousePos) = 0;
  // Monitors or work areas changed.
  virtual void FormMainOnDisplayChange() = 0;
  // The scale of a monitor, or the one the window is on, changed: the monitors' DPIs are
  // to be read afresh. May come from inside SetWindowBounds (the window crossed into a
  // monitor of another scale).
  virtual void OnDpiChanged() = 0;
  // A hotkey registered for the window was pressed.
  virtual void FormMainOnHotKey(int HotKeyId) = 0;
  // The program was started again for the same name (WindowSystem::HandOver): first the
  // answer, which the start gets at once, then, when it was HandedOver, the hand-over.
  virtual HandOverAnswer OnHandOverAsked() = 0;
  virtual void FormMainOnHandOver() = 0;
  // The application was restored from the minimised state; the window is shown again.
  virtual void ApplicationOnRestore() = 0;
  virtual void OnTimer(unsigned timerId) = 0;

  // The cursor to show while the mouse is over the window; none gives the standard arrow.
  virtual NativeCursor OnSetCursor() = 0;
  // The system's close command (Alt+F4, close from the task bar).
  virtual void OnCloseRequest() = 0;
  // Windows is ending the session.
  virtual void OnEndSession() = 0;
  // Windows is about to suspend, or the display went off (a lid closed under Modern
  // Standby, which may never suspend the old way): the process may never run again.
  virtual void OnSuspend() = 0;
  // The window's bounds as the system now has them, and who moved it; not while hidden or
  // minimised. The system may report a program's own move a pixel off the one asked for
  // (coordinates converted for a monitor of another scale).
  virtual void OnBoundsChanged(int left, int top, int width, int height, MovedBy by) = 0;
  // A failure that escaped a handler (text in Windows-1252): shown, and the program goes on.
  virtual void OnHandlerError(const char* text) = 0;
};

// The one error guard around every event: no exception unwinds through the system's
// frames, and the failure is shown.
template <typename F>
void Guarded(WindowEvents& events, F&& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& error) {
    events.OnHandlerError(error.what());
  } catch (...) {
    events.OnHandlerError("Unknown error");
  }
}

struct WindowParams {
  TRect bounds{};  // left, top, right, bottom
  int minWidth = 0;
  int minHeight = 0;
  bool topMost = false;
  bool layered = false;
  std::string caption;
};

struct MenuItemView {
  std::string caption;
  std::string shortcutText;  // shown at the right; never dispatched
  bool checked = false;
  bool enabled = true;
  std::string glyphResource;  // bitmap resource name, empty for none
};

enum class MessageKind : std::uint8_t {
  Plain,  // no icon, one OK button, centred on the screen
  Error,  // the standard error box
};

class WindowSystem;

// A region, owned until it is handed to a window.
struct RegionTraits {
  using Handle = NativeRegion;
  using Source = WindowSystem;
  static bool Free(WindowSystem& ws, NativeRegion region);
};
using OwnedRegion = Owned<RegionTraits>;

class WindowSystem {
 public:
  WindowSystem() = default;
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;
  WindowSystem(WindowSystem&&) = delete;
  WindowSystem& operator=(WindowSystem&&) = delete;
  virtual ~WindowSystem() = default;

  // The task-bar entry's title.
  virtual void SetApplicationTitle(const std::string& title) = 0;

  // The window. Created hidden; shown by the message loop.
  virtual NativeWindow CreateAppWindow(const WindowParams& params, WindowEvents& events) = 0;
  virtual void DestroyAppWindow(NativeWindow window) = 0;
  // Left, top, width, height in screen pixels, applied as one change.
  virtual void SetWindowBounds(NativeWindow window, int left, int top, int width, int height) = 0;
  virtual void ShowAppWindow(NativeWindow window, bool visible) = 0;
  virtual OwnedRegion CreatePolygonRegion(const std::vector<TPoint>& points) = 0;  // empty: failed
  // The region passes to the window system here; an empty one removes the window's region.
  virtual void SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) = 0;
  virtual void SetLayered(NativeWindow window, bool layered) = 0;
  // SetLayeredWindowAttributes, looked up once at start; false when the platform lacks it.
  virtual bool HasLayeredAttributes() = 0;
  virtual void SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) = 0;
  // Alpha per pixel, for a window that has never had a constant alpha (SetLayeredAlpha),
  // or whose layered style has been cleared since (SetLayered false, which drops the image).
  // WindowImagePixels lends the window's image of that size to be drawn in place, so that
  // the program keeps no copy of its own; what it held is lost when the size changes (the
  // old one freed before the new one is made, so that two never take memory at once; the
  // new one may lie in the old one's memory, its pixels anything), and it is empty when
  // none could be made.
  // ShowWindowImage shows it with its top-left corner at left, top, moving and sizing the
  // window to it in the same step, so that no frame shows one image at the other's place;
  // false when the system refused (the window shows what it did before). It is scaled as a
  // whole by the constant alpha of SetImageAlpha (255 until set); the mouse passes where its
  // alpha is 0. The image is kept, so that SetImageAlpha shows it again at another alpha
  // without drawing it anew.
  virtual PixelView WindowImagePixels(NativeWindow window, std::int32_t width,
                                      std::int32_t height) = 0;
  virtual bool ShowWindowImage(NativeWindow window, int left, int top) = 0;
  virtual void SetImageAlpha(NativeWindow window, std::uint8_t alpha) = 0;
  virtual void Invalidate(NativeWindow window) = 0;
  virtual std::unique_ptr<Canvas> GetCanvas(NativeWindow window) = 0;

  // Per-window timers ticking through the message loop; false when refused.
  virtual bool StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) = 0;
  virtual void StopTimer(NativeWindow window, unsigned timerId) = 0;

  // Message loop.
  virtual void RunMessageLoop(NativeWindow mainWindow) = 0;  // shows the window first
  virtual void ProcessMessages() = 0;                        // handle all waiting, return
  virtual void PostQuit() = 0;

  // Mouse and cursor.
  virtual TPoint GetCursorPos() = 0;
  // Shared resource cursors, never freed; none when absent.
  virtual NativeCursor LoadCursorResource(const std::string& name) = 0;
  // Shows the cursor at once when the mouse is over the window (or captured by it).
  virtual void ApplyCursor(NativeWindow window, NativeCursor cursor) = 0;

  // Screen.
  virtual TRect GetWorkArea() = 0;  // the primary monitor's
  // Each with its DPI; where the system has no DPI per monitor, the system's for all.
  virtual std::vector<MonitorInfo> GetMonitors() = 0;
  virtual TColor GetScreenPixel(TPoint screenPos) = 0;

  // System-wide hotkeys, modifiers as kHotKey* bits; false when another program holds it.
  virtual bool RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                              std::uint16_t key) = 0;
  virtual void UnregisterHotKey(NativeWindow window, int hotKeyId) = 0;
  // Shown on top of the top-most windows, leaving the keyboard where it is.
  virtual void RaiseWithoutActivation(NativeWindow window) = 0;
  // From now on a start of the program that finds `name` claimed (ClaimInstance) reaches
  // this window as OnHandOverAsked and FormMainOnHandOver, whatever its integrity level.
  virtual void AnswerHandOvers(NativeWindow window, const std::string& name) = 0;
  // Asks the program that answers for `name` to bring its arrow: true when it did. Waits a
  // few seconds at most for one to be ready, and as long as one says it is ending, until
  // `ended` says that program has gone; false then, and when none answered. Messages sent
  // to this program's windows meanwhile are answered without reaching their events.
  virtual bool HandOver(const std::string& name, const std::function<bool()>& ended) = 0;
  // The program's open dialog or box to the front, with the keyboard: its user started the
  // program again. Nothing where none is open (a menu is in front already).
  virtual void BringOpenBoxToFront() = 0;
  // Restores a minimised application as its task-bar entry does, restore event included,
  // but leaving the keyboard where it is; false when it was not minimised.
  virtual bool RestoreApplication() = 0;

  // The window that has the keyboard now, whichever program's it is; none if no window has.
  virtual NativeWindow KeyboardOwner() = 0;
  // Gives the keyboard back to a window that had it before the program took it for a
  // moment (its menu), unless that was one of the program's own windows or the keyboard
  // has meanwhile gone to another program.
  virtual void GiveKeyboardBack(NativeWindow previousOwner) = 0;

  // Menus and dialogs. TrackPopupMenu returns the chosen item's index + 1, or 0.
  virtual int TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                             TPoint screenPos) = 0;
  virtual void ShowMessageBox(NativeWindow owner, const std::string& text,
                              const std::string& caption, MessageKind kind) = 0;
  // Custom colours hold -1 (0xFFFFFFFF) for an empty slot. True when confirmed.
  virtual bool ChooseColor(NativeWindow owner, TColor& color, std::array<TColor, 16>& custom,
                           bool fullOpen, bool solidOnly) = 0;

 private:
  friend struct RegionTraits;
  // Frees a region that never reached a window.
  virtual bool DeleteRegion(NativeRegion region) = 0;
};

inline bool RegionTraits::Free(WindowSystem& ws, NativeRegion region) {
  return ws.DeleteRegion(region);
}

}  // namespace qd
