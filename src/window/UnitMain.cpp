#include "window/UnitMain.h"

#include <functional>

namespace qd {

// The window's definition: its properties, components and event wiring.
TFormMain::TFormMain(TApplication& application, TUiLanguage language)
    : TForm(application), UiLanguage(language) {
  FormStyle = TFormStyle::fsStayOnTop;
  MinWidth = 8;
  MinHeight = 8;
  Caption = "FormMain";
  SetInitialBounds(692, 732, 504, 229);
  SetColor(clBlack);
  SetAlphaBlend(true);

  PopupMenu.Items = {&PopupMenuHelp, &PopupMenuColor, &PopupMenuLockSettings,
                     &PopupMenuEscTerminates, &PopupMenuTerminate};
  PopupMenuHelp.Caption = "Help";
  PopupMenuHelp.ShortCut = kKeyF1;
  PopupMenuHelp.Glyph = "GlyphHelp";
  PopupMenuColor.Caption = "Color";
  PopupMenuColor.ShortCut = kKeyF2;
  PopupMenuColor.Glyph = "ColorsEnabled";
  PopupMenuLockSettings.Caption = "Lock";
  PopupMenuLockSettings.ShortCut = kKeyF3;
  PopupMenuLockSettings.AutoCheck = true;
  PopupMenuLockSettings.Glyph = "GlyphLock";
  PopupMenuEscTerminates.Caption = "  Esc = Exit";
  PopupMenuEscTerminates.AutoCheck = true;
  PopupMenuTerminate.Caption = "Exit";
  PopupMenuTerminate.ShortCut = kKeyEscape;
  PopupMenuTerminate.Glyph = "GlyphExit";

  TimerDrawBorder.SetInterval(10);
  TimerMouseMoveHoldOff.SetInterval(10);
  ColorDialog.Options = cdFullOpen | cdSolidColor;

  OnCreate = std::bind_front(&TFormMain::FormMainOnCreate, this);
  OnDestroy = std::bind_front(&TFormMain::FormMainOnDestroy, this);
  OnMouseDown = std::bind_front(&TFormMain::FormMainOnMouseDown, this);
  OnMouseMove = std::bind_front(&TFormMain::FormMainOnMouseMove, this);
  OnMouseUp = std::bind_front(&TFormMain::FormMainOnMouseUp, this);
  OnMouseWheel = std::bind_front(&TFormMain::FormMainOnMouseWheel, this);
  OnDblClick = std::bind_front(&TFormMain::FormMainOnDblClick, this);
  OnKeyDown = std::bind_front(&TFormMain::FormMainOnKeyDown, this);
  OnKeyUp = std::bind_front(&TFormMain::FormMainOnKeyUp, this);
  OnKeyPress = std::bind_front(&TFormMain::FormMainOnKeyPress, this);
  OnContextPopup = std::bind_front(&TFormMain::FormMainOnContextPopup, this);
  OnRepaint = std::bind_front(&TFormMain::DrawPointerRim, this);
  OnDisplayChange = std::bind_front(&TFormMain::FormMainOnDisplayChange, this);
  OnHotKey = std::bind_front(&TFormMain::FormMainOnHotKey, this);
  PopupMenu.OnPopup = std::bind_front(&TFormMain::PopupMenuOnPopup, this);
  PopupMenuHelp.OnClick = std::bind_front(&TFormMain::PopupMenuHelpOnClick, this);
  PopupMenuColor.OnClick = std::bind_front(&TFormMain::PopupMenuColorOnClick, this);
  PopupMenuLockSettings.OnClick = std::bind_front(&TFormMain::PopupMenuLockSettingsOnClick, this);
  PopupMenuEscTerminates.OnClick = std::bind_front(&TFormMain::PopupMenuEscTerminatesOnClick, this);
  PopupMenuTerminate.OnClick = std::bind_front(&TFormMain::PopupMenuTerminateOnClick, this);
  TimerDrawBorder.OnTimer = std::bind_front(&TFormMain::TimerDrawBorderOnTimer, this);
  TimerMouseMoveHoldOff.OnTimer = std::bind_front(&TFormMain::TimerMouseMoveHoldOffOnTimer, this);
}

TFormMain::~TFormMain() {
  // The destroy handler must run while the components still exist.
  Destroy();
}

}  // namespace qd
