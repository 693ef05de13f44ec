// The Windows implementation of the window system.
//
// Application model: a zero-size application window carries the title and owns the one
// task-bar entry; the program's windows are borderless pop-ups owned by it, so they have
// no task-bar button of their own. Minimising through the task bar hides them and
// restoring shows them again before the restore event runs.
#pragma once

#include <string>

#include "framework/win32/handles.h"
#include "framework/win32/win32.h"
#include "framework/win32/win32_keep_on_top.h"
#include "framework/win32/win32_keyboard_owner.h"
#include "framework/window_system.h"

namespace qd::win32 {

// shcore's GetDpiForMonitor (Windows 8.1 and later), looked up at run time: Windows 7 has
// no shcore.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
GetDpiForMonitorFn LoadGetDpiForMonitor();
// The DPI a monitor is scaled by: the monitor's own where the system has one per monitor,
// else the system's one DPI (Windows 7 and 8), else 96.
UINT MonitorDpi(HMONITOR monitor, GetDpiForMonitorFn getDpiForMonitor);

// The message a second start sends for `name`, and the property that marks the window
// answering it: what the two starts agree on.
std::wstring HandOverMessageName(const std::string& name);

class Win32WindowSystem final : public WindowSystem {
 public:
  explicit Win32WindowSystem(HINSTANCE instance);
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;
  ~Win32WindowSystem() override;

  void SetApplicationTitle(const std::string& title) override;

  NativeWindow CreateAppWindow(const WindowParams& params, WindowEvents& events) override;
  void DestroyAppWindow(NativeWindow window) override;
  void SetWindowBounds(NativeWindow window, int left, int top, int width, int height) override;
  void ShowAppWindow(NativeWindow window, bool visible) override;
  OwnedRegion CreatePolygonRegion(const std::vector<TPoint>& points) override;
  void SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) override;
  void SetLayered(NativeWindow window, bool layered) override;
  bool HasLayeredAttributes() override;
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

  TPoint GetCursorPos() override;
  NativeCursor LoadCursorResource(const std::string& name) override;
  void ApplyCursor(NativeWindow window, NativeCursor cursor) override;

  TRect GetWorkArea() override;
  std::vector<MonitorInfo> GetMonitors() override;
  TColor GetScreenPixel(TPoint screenPos) override;

  bool RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                      std::uint16_t key) override;
  void UnregisterHotKey(NativeWindow window, int hotKeyId) override;
  void RaiseWithoutActivation(NativeWindow window) override;
  bool RestoreApplication() override;
  void AnswerHandOvers(NativeWindow window, const std::string& name) override;
  bool HandOver(const std::string& name, const std::function<bool()>& ended) override;
  void BringOpenBoxToFront() override;
  // Whether starts at a lower integrity level reach the window answering hand-overs: Wine
  // has no integrity levels to try it with, so the backend tests ask here.
  [[nodiscard]] bool HandOversFromAnyLevel() const { return handOversFromAnyLevel_; }

  NativeWindow KeyboardOwner() override;
  void GiveKeyboardBack(NativeWindow previousOwner) override;
  int TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                     TPoint screenPos) override;
  void ShowMessageBox(NativeWindow owner, const std::string& text, const std::string& caption,
                      MessageKind kind) override;
  bool ChooseColor(NativeWindow owner, TColor& color, std::array<TColor, 16>& custom, bool fullOpen,
                   bool solidOnly) override;

  // Wine's extra steps in the keyboard's hand-over (KeyboardOwnership), on only under Wine;
  // the backend tests run the hand-over both ways.
  void UseWineSteps(bool use) { keyboard_.UseWineSteps(use); }
  // Who has the keyboard, as the owner keeps it: the backend tests hold it to what Windows
  // shows.
  [[nodiscard]] KeyboardState KeyboardHolder() const { return keyboard_.State(); }

 private:
  bool DeleteRegion(NativeRegion region) override;

  struct WindowData;
  static LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleAppMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleFormMessage(WindowData& data, UINT msg, WPARAM wParam, LPARAM lParam);
  void Minimize();
  void Restore(bool activate);
  // The window's image with alpha per pixel at its constant alpha, at `at` (where the
  // window is: none); false when the system refused it.
  static bool ShowImage(WindowData& data, POINT* at);
  // Whether a window placed at left, top in that size would have its middle on another
  // monitor than now.
  bool OntoAnotherMonitor(HWND hwnd, int left, int top, SIZE size);

  using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
  using ChooseColorFn = BOOL(WINAPI*)(LPCHOOSECOLORW);

  HINSTANCE instance_;
  SetLayeredWindowAttributesFn setLayeredWindowAttributes_ = nullptr;
  ChooseColorFn chooseColor_ = nullptr;  // loaded with comdlg32 when the dialog first opens
  GetDpiForMonitorFn getDpiForMonitor_ = nullptr;  // looked up at the first monitor listing
  bool dpiLookedUp_ = false;
  HWND appWindow_ = nullptr;
  HWND movingWindow_ = nullptr;  // during SetWindowBounds: the window it moves
  HWND mainWindow_ = nullptr;
  bool mainWasVisible_ = false;  // at the last minimise, so restore brings back only that
  UINT liveObjectsMessage_ = 0;
  UINT timerTicksMessage_ = 0;
  UINT handOverMessage_ = 0;   // once the program answers hand-overs
  std::wstring handOverMark_;  // the property on the window that answers them
  bool handOversFromAnyLevel_ = false;
  bool handingOver_ = false;  // while HandOver waits: no event reaches the form
  unsigned long timerTicks_ = 0;
  KeyboardOwnership keyboard_;
  KeepOnTop onTop_;
};

// What the arrow's window carries from WM_NCCREATE to WM_NCDESTROY.
struct Win32WindowSystem::WindowData {
  Win32WindowSystem* system = nullptr;
  HWND hwnd = nullptr;
  WindowEvents* events = nullptr;
  int minWidth = 0;
  int minHeight = 0;
  // Screen position of the last left press, and whether the pointer has stayed within the
  // drag threshold of it since: a plain click when the button comes up.
  POINT pressAt{};
  bool plainClick = false;
  // The image with alpha per pixel it shows (a DIB section, rows top-down), its bits, and
  // the constant alpha that scales it.
  GdiObject image{};
  // The memory it lies in, kept while the next image fits it and is not much smaller, so
  // that a turn finds its pages there (new ones cost more than the turn's drawing), and its
  // size in bytes.
  KernelHandle imageMemory{};
  std::uint64_t imageMemoryBytes = 0;
  std::uint32_t* imageBits = nullptr;
  SIZE imageSize{};
  BYTE imageAlpha = 255;
  // While a showing runs, and an image replaced from inside it, freed once it is done.
  bool showing = false;
  GdiObject retiredImage{};
  // From a left press until its release or the mouse is taken away.
  bool leftPressed = false;
  // The registration that tells the window when the display goes off; none where refused.
  HPOWERNOTIFY displayNotice = nullptr;
};

inline HWND ToHwnd(NativeWindow window) { return ToWin32<HWND>(window); }

}  // namespace qd::win32
