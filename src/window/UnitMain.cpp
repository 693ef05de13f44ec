#include "window/UnitMain.h"

namespace qd {

TFormMain* FormMain = nullptr;

// The window's definition: its properties, components and event wiring.
TFormMain::TFormMain(TApplication& application) : TForm(application) {
  BorderStyle = TBorderStyle::bsNone;
  FormStyle = TFormStyle::fsStayOnTop;
  KeyPreview = true;
  MinWidth = 8;
  MinHeight = 8;
  Caption = "FormMain";
  SetInitialBounds(692, 732, 504, 229);
  SetColor(clBlack);
  SetAlphaBlend(true);

  PopupMenu.Alignment = TPopupAlignment::paCenter;
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
  PopupMenuEscTerminates.GroupIndex = 1;
  PopupMenuTerminate.Caption = "Exit";
  PopupMenuTerminate.ShortCut = kKeyEscape;
  PopupMenuTerminate.GroupIndex = 1;
  PopupMenuTerminate.Glyph = "GlyphExit";

  TimerDrawBorder.SetInterval(10);
  TimerMouseMoveHoldOff.SetInterval(10);
  ColorDialog.Options = cdFullOpen | cdSolidColor;

  OnCreate = [this](TObject* s) { FormMainOnCreate(s); };
  OnDestroy = [this](TObject* s) { FormMainOnDestroy(s); };
  OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    FormMainOnMouseDown(s, b, sh, x, y);
  };
  OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
    FormMainOnMouseMove(s, sh, x, y);
  };
  OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    FormMainOnMouseUp(s, b, sh, x, y);
  };
  OnKeyUp = [this](TObject* s, std::uint16_t& k, TShiftState sh) { FormMainOnKeyUp(s, k, sh); };
  OnMouseWheel = [this](TObject* s, TShiftState sh, int d, TPoint p, bool& h) {
    FormMainOnMouseWheel(s, sh, d, p, h);
  };
  OnKeyDown = [this](TObject* s, std::uint16_t& k, TShiftState sh) {
    FormMainOnKeyDown(s, k, sh);
  };
  OnKeyPress = [this](TObject* s, char& k) { FormMainOnKeyPress(s, k); };
  OnDblClick = [this](TObject* s) { FormMainOnDblClick(s); };
  OnContextPopup = [this](TObject* s, TPoint p, bool& h) { FormMainOnContextPopup(s, p, h); };
  OnRepaint = [](Canvas& canvas) { DrawPointerRim(canvas); };
  PopupMenu.OnPopup = [this](TObject* s) { PopupMenuOnPopup(s); };
  PopupMenuHelp.OnClick = [this](TObject* s) { PopupMenuHelpOnClick(s); };
  PopupMenuColor.OnClick = [this](TObject* s) { PopupMenuColorOnClick(s); };
  PopupMenuLockSettings.OnClick = [this](TObject* s) { PopupMenuLockSettingsOnClick(s); };
  PopupMenuEscTerminates.OnClick = [this](TObject* s) { PopupMenuEscTerminatesOnClick(s); };
  PopupMenuTerminate.OnClick = [this](TObject* s) { PopupMenuTerminateOnClick(s); };
  TimerDrawBorder.OnTimer = [this](TObject* s) { TimerDrawBorderOnTimer(s); };
  TimerMouseMoveHoldOff.OnTimer = [this](TObject* s) { TimerMouseMoveHoldOffOnTimer(s); };
}

TFormMain::~TFormMain() {
  // The destroy handler must run while the components still exist.
  Destroy();
  if (FormMain == this) {
    FormMain = nullptr;
  }
}

}  // namespace qd
