// The one narrow interface between the program and the operating system.
// The Win32 backend implements it for the real program; the unit tests implement a
// recording fake. Nothing above this interface includes <windows.h>.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/types.h"

namespace qd {

// Opaque platform handles; 0 means "none".
using NativeWindow = std::uintptr_t;
using NativeRegion = std::uintptr_t;
using NativeCursor = std::uintptr_t;
using NativeHandle = std::uintptr_t;
using NativeFile = std::uintptr_t;

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

// What the backend tells the window about. Coordinates of mouse events are
// window-relative unless named otherwise.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnPaint(Canvas& canvas) = 0;
  virtual void OnMouseDown(TMouseButton button, TShiftState shift, int x, int y) = 0;
  virtual void OnMouseUp(TMouseButton button, TShiftState shift, int x, int y) = 0;
  virtual void OnMouseMove(TShiftState shift, int x, int y) = 0;
  virtual void OnDblClick() = 0;
  // One message, one step: only the sign of delta counts.
  virtual void OnMouseWheel(TShiftState shift, int delta, TPoint screenPos) = 0;
  virtual void OnKeyDown(std::uint16_t key, TShiftState shift) = 0;
  virtual void OnKeyUp(std::uint16_t key, TShiftState shift) = 0;
  virtual void OnKeyPress(char ch) = 0;
  // Context-menu request (right click or the keyboard's menu key); screen position.
  virtual void OnContextPopup(TPoint screenPos) = 0;
  virtual void OnTimer(unsigned timerId) = 0;
  // The cursor to show while the mouse is over the window; 0 gives the standard arrow.
  virtual NativeCursor OnSetCursor() = 0;
  // The system's close command (Alt+F4, close from the task bar).
  virtual void OnCloseRequest() = 0;
  // Windows is ending the session.
  virtual void OnEndSession() = 0;
  // The application was restored from the minimised state; the window is shown again.
  virtual void OnRestore() = 0;
};

struct WindowParams {
  TRect bounds{};  // left, top, right, bottom
  int minWidth = 0;
  int minHeight = 0;
  bool topMost = false;
  bool layered = false;
  std::string caption;
};

struct MenuItemView {
  std::string caption;       // Windows-1252
  std::string shortcutText;  // shown at the right; never dispatched
  bool checked = false;
  bool enabled = true;
  std::string glyphResource;  // bitmap resource name, empty for none
};

enum class MessageKind : std::uint8_t {
  Plain,  // no icon, one OK button, centred on the screen
  Error,  // the standard error box
};

enum class RegistryStatus : std::uint8_t { NoKey, NoValue, Text, NotText };
struct RegistryRead {
  RegistryStatus status = RegistryStatus::NoKey;
  std::string text;  // UTF-8
};

enum class FileStatus : std::uint8_t { Ok, NotFound, Error };
inline constexpr std::uint64_t kMaxWholeFileBytes = 1U << 20U;
inline constexpr char kFileTooLargeMessage[] = "The file is larger than 1 MB.";
struct FileRead {
  FileStatus status = FileStatus::NotFound;
  std::string bytes;
  std::string error;  // system message when status is Error
};

class WindowSystem {
 public:
  WindowSystem() = default;
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;
  virtual ~WindowSystem() = default;

  // Application and process.
  virtual void SetApplicationTitle(const std::string& title) = 0;  // task-bar entry, Windows-1252
  virtual std::string ModuleFileName() = 0;                         // UTF-8
  virtual std::vector<std::string> CommandLineParams() = 0;         // parameters 1..n
  virtual std::string LocaleLanguageText() = 0;  // LOCALE_ILANGUAGE of the user default locale

  // The window. Created hidden; shown by the message loop.
  virtual NativeWindow CreateAppWindow(const WindowParams& params, WindowEvents& events) = 0;
  virtual void DestroyAppWindow(NativeWindow window) = 0;
  // Left, top, width, height in screen pixels, applied as one change.
  virtual void SetWindowBounds(NativeWindow window, int left, int top, int width, int height) = 0;
  virtual void ShowAppWindow(NativeWindow window, bool visible) = 0;
  virtual NativeRegion CreatePolygonRegion(const std::vector<TPoint>& points) = 0;
  // The region belongs to the window system from here on.
  virtual void SetWindowRegion(NativeWindow window, NativeRegion region, bool redraw) = 0;
  virtual void SetLayered(NativeWindow window, bool layered) = 0;
  // SetLayeredWindowAttributes, looked up once at start; false when the platform lacks it.
  virtual bool HasLayeredAttributes() = 0;
  virtual void SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) = 0;
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
  virtual void SetCapture(NativeWindow window) = 0;
  virtual void ReleaseCapture() = 0;
  virtual NativeCursor LoadCursorResource(const std::string& name) = 0;  // 0 when absent
  // Shows the cursor at once when the mouse is over the window (or captured by it).
  virtual void ApplyCursor(NativeWindow window, NativeCursor cursor) = 0;

  // Screen.
  virtual TRect GetWorkArea() = 0;
  virtual TColor GetScreenPixel(TPoint screenPos) = 0;

  // Menus and dialogs. TrackPopupMenu returns the chosen item's index + 1, or 0.
  virtual int TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                             TPoint screenPos) = 0;
  virtual void ShowMessageBox(NativeWindow owner, const std::string& text,
                              const std::string& caption, MessageKind kind) = 0;
  // Custom colours hold -1 (0xFFFFFFFF) for an empty slot. True when confirmed.
  virtual bool ChooseColor(NativeWindow owner, TColor& color, std::array<TColor, 16>& custom,
                           bool fullOpen, bool solidOnly) = 0;

  // Waitable timers, for the blocking delay.
  virtual NativeHandle CreateWaitableTimer() = 0;  // 0 on failure
  virtual bool SetWaitableTimer(NativeHandle timer, std::int64_t dueTime100ns) = 0;
  virtual bool WaitForTimer(NativeHandle timer, std::uint32_t timeoutMs) = 0;  // true if signalled
  virtual bool CancelWaitableTimer(NativeHandle timer) = 0;
  virtual void CloseHandle(NativeHandle handle) = 0;

  // Registry (HKEY_CURRENT_USER, query only) and environment.
  virtual RegistryRead ReadUserRegistryText(const std::string& key, const std::string& value) = 0;
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;

  // Files. Paths are UTF-8; the backend uses the wide-character calls.
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;  // a file, not a folder
  virtual void ForceDirectories(const std::string& path) = 0;
  virtual bool CopyFileFailIfExists(const std::string& from, const std::string& to) = 0;
  // Case-insensitive comparison in the user's default locale.
  virtual bool SameText(const std::string& a, const std::string& b) = 0;
  // A file larger than kMaxWholeFileBytes is not read at all: status Error. The settings
  // file is a few hundred bytes; a huge one would only exhaust a 32-bit address space.
  virtual FileRead ReadWholeFile(const std::string& path) = 0;
  // Writing is split into its steps so that the atomic replace above it can be tested
  // step by step. Each returns false (CreateFileForWrite: 0) on failure, with
  // LastErrorMessage() telling why.
  virtual NativeFile CreateFileForWrite(const std::string& path) = 0;
  virtual bool WriteFileBytes(NativeFile file, const std::string& bytes) = 0;
  virtual bool FlushFile(NativeFile file) = 0;
  virtual bool CloseFile(NativeFile file) = 0;
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;  // rename over
  virtual void DeleteFile(const std::string& path) = 0;
  virtual std::string LastErrorMessage() = 0;
};

}  // namespace qd
