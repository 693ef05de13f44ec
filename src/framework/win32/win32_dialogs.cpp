// The message boxes and the colour dialog.
#include "framework/win32/system_library.h"
#include "framework/win32/text.h"
#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

void Win32WindowSystem::ShowMessageBox(NativeWindow /*owner*/, const std::string& text,
                                       const std::string& caption, MessageKind kind) {
  // Task-modal without an owner: every window of the program is disabled while it is open,
  // and the box is centred on the screen. Top-most, or the top-most arrow, which starts at
  // the screen centre, would cover it.
  UINT flags = MB_OK | MB_TASKMODAL | MB_TOPMOST;
  if (kind == MessageKind::Error) flags |= MB_ICONERROR;
  // Without an owner nothing hands the keyboard back when the box closes; the window that
  // had it takes it again, so that F1, Esc and the rest work after the help.
  HWND active = ::GetActiveWindow();
  ::MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
  keyboard_.On({KeyboardEvent::Kind::BoxClosed, active});
}

bool Win32WindowSystem::ChooseColor(NativeWindow owner, TColor& color,
                                    std::array<TColor, 16>& custom, bool fullOpen, bool solidOnly) {
  std::array<COLORREF, 16> customColors{};
  for (size_t i = 0; i < custom.size(); ++i) customColors[i] = custom[i];
  CHOOSECOLORW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = ToHwnd(owner);
  dialog.rgbResult = color;
  dialog.lpCustColors = customColors.data();
  dialog.Flags = CC_RGBINIT;
  if (fullOpen) dialog.Flags |= CC_FULLOPEN;
  if (solidOnly) dialog.Flags |= CC_SOLIDCOLOR;
  if (chooseColor_ == nullptr) {
    // Loaded at the first use: imported, comdlg32 would bring shell32, comctl32 and the
    // print spooler into every start for a dialog that most runs never open.
    if (const HMODULE comdlg32 = LoadSystemLibrary(L"comdlg32.dll"); comdlg32 != nullptr) {
      chooseColor_ = reinterpret_cast<ChooseColorFn>(
          reinterpret_cast<void*>(::GetProcAddress(comdlg32, "ChooseColorW")));
    }
    if (chooseColor_ == nullptr) return false;
  }
  if (chooseColor_(&dialog) == 0) return false;
  color = dialog.rgbResult;
  for (size_t i = 0; i < custom.size(); ++i) custom[i] = customColors[i];
  return true;
}

}  // namespace qd::win32
