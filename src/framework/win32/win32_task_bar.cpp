// The task-bar entry: the application window that carries the title, owns the arrow's
// window and minimises and restores it.
#include "framework/win32/text.h"
#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

void Win32WindowSystem::SetApplicationTitle(const std::string& title) {
  ::SetWindowTextW(appWindow_, Utf8ToWide(title).c_str());
}

bool Win32WindowSystem::RestoreApplication() {
  if (!::IsIconic(appWindow_)) return false;
  Restore(false);
  return true;
}

void Win32WindowSystem::Minimize() {
  if (::IsIconic(appWindow_)) return;
  mainWasVisible_ = mainWindow_ != nullptr && ::IsWindowVisible(mainWindow_);
  keyboard_.On({KeyboardEvent::Kind::Minimizing});
  if (mainWasVisible_) ::ShowWindow(mainWindow_, SW_HIDE);
  ::ShowWindow(appWindow_, SW_MINIMIZE);
}

void Win32WindowSystem::Restore(bool activate) {
  if (!::IsIconic(appWindow_)) return;
  ::ShowWindow(appWindow_, activate ? SW_RESTORE : SW_SHOWNOACTIVATE);
  if (mainWindow_ == nullptr) return;
  keyboard_.On({activate ? KeyboardEvent::Kind::Restored : KeyboardEvent::Kind::RestoredByHotkey});
  if (mainWasVisible_) ::ShowWindow(mainWindow_, activate ? SW_SHOW : SW_SHOWNA);
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(mainWindow_, GWLP_USERDATA));
  if (data != nullptr) data->events->ApplicationOnRestore();
}

LRESULT CALLBACK Win32WindowSystem::AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                  LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    ++LiveObjects().user;
  } else if (msg == WM_NCDESTROY) {
    --LiveObjects().user;
  }
  auto* system = reinterpret_cast<Win32WindowSystem*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (system == nullptr || msg == WM_NCCREATE || msg == WM_NCDESTROY || system->handingOver_) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  // The form's handlers run from here too (a restore), under the form's guard; before
  // the form has a window nothing here can fail.
  auto* form =
      system->mainWindow_ == nullptr
          ? nullptr
          : reinterpret_cast<WindowData*>(::GetWindowLongPtrW(system->mainWindow_, GWLP_USERDATA));
  if (form == nullptr) return system->HandleAppMessage(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  Guarded(*form->events, [&] { result = system->HandleAppMessage(hwnd, msg, wParam, lParam); });
  return result;
}

LRESULT Win32WindowSystem::HandleAppMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0U) {
        case SC_MINIMIZE:
          Minimize();
          return 0;
        case SC_RESTORE:
          if (::IsIconic(hwnd)) {
            Restore(true);
            return 0;
          }
          break;
        case SC_KEYMENU:
          // This window has the keyboard while the arrow is hidden (a colour pick); menu
          // mode on it would be invisible and hold the program with the arrow hidden.
          return 0;
        default:
          break;
      }
      break;
    case WM_CLOSE:
      // Closing the task-bar entry closes the main window.
      if (mainWindow_ != nullptr) ::SendMessageW(mainWindow_, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETFOCUS:
      keyboard_.On({KeyboardEvent::Kind::AppWindowFocused});
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // Whichever of the program's windows Windows tells first ends it; the arrow's window
      // is gone by the time this one would be told, or the other way round.
      if (wParam != 0 && mainWindow_ != nullptr) {
        auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(mainWindow_, GWLP_USERDATA));
        if (data != nullptr) data->events->OnEndSession();
      }
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace qd::win32
