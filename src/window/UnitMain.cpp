#include "window/UnitMain.h"

namespace qd {

// The window's definition: its properties and components.
TFormMain::TFormMain(TApplication& application, TUiLanguage language)
    : TForm(application), UiLanguage(language) {
  FormStyle = TFormStyle::fsStayOnTop;
  MinWidth = 8;
  MinHeight = 8;
  Caption = "FormMain";
  SetInitialBounds(692, 732, 504, 229);
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
  TimerSaveSettings.SetInterval(kSaveDelayMs);
  ColorDialog.Options = cdFullOpen | cdSolidColor;
}

TFormMain::~TFormMain() {
  // The destroy handler must run while the components still exist.
  Destroy();
}

}  // namespace qd
