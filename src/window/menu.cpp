#include "window/menu.h"

#include "model/tables.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

struct MenuCaptions {
  const char* help;
  const char* color;
  const char* escTerminates;
  const char* terminate;
};

// By interface language: English, German.
constexpr MenuCaptions kMenuCaptions[] = {
    {"Help", "Color", "  Esc = Exit", "Exit"},
    {"Hilfe", "Farbe", "  Esc = Beenden", "Beenden"},
};
// By interface language, then by the lock: unlocked, locked.
constexpr const char* kLockCaptions[][2] = {{"Lock", "Unlock"}, {"Sperren", "Entsperren"}};

std::size_t LanguageIndex(TUiLanguage language) { return static_cast<std::size_t>(language); }

}  // namespace

void SetMenuCaptions(TUiLanguage language) {
  const MenuCaptions& captions = kMenuCaptions[LanguageIndex(language)];
  FormMain->PopupMenuHelp.Caption = captions.help;
  FormMain->PopupMenuColor.Caption = captions.color;
  FormMain->PopupMenuEscTerminates.Caption = captions.escTerminates;
  FormMain->PopupMenuTerminate.Caption = captions.terminate;
}

void SetExitShortcut(bool escTerminates) {
  FormMain->PopupMenuTerminate.ShortCut =
      escTerminates ? kKeyEscape : static_cast<TShortCut>(scAlt | kKeyF4);
}

void SetMenuItemState(TMenuItem& item, bool enabled, const std::string& disabledGlyph,
                      const std::string& enabledGlyph) {
  item.Enabled = enabled;
  item.Glyph = enabled ? enabledGlyph : disabledGlyph;
}

void ShowHelpText() { Application->ShowPlainMessage(HelpText(Pointer.UiLanguage)); }

void TFormMain::FormMainOnContextPopup(TObject* /*Sender*/, TPoint /*MousePos*/, bool& Handled) {
  // At the mouse, also when the keyboard's menu key asked for the menu.
  const TPoint cursor = Ws().GetCursorPos();
  PopupMenu.Popup(cursor.x - 36, cursor.y - 30);
  Handled = true;
}

void TFormMain::PopupMenuOnPopup(TObject* /*Sender*/) {
  SetMenuItemState(PopupMenuColor, !Pointer.SettingsLocked, "ColorsDisabled", "ColorsEnabled");
  PopupMenuLockSettings.Caption =
      kLockCaptions[LanguageIndex(Pointer.UiLanguage)][Pointer.SettingsLocked ? 1 : 0];
  PopupMenuLockSettings.Checked = Pointer.SettingsLocked;
  SetCursor(crDefault);
}

void TFormMain::PopupMenuHelpOnClick(TObject* /*Sender*/) { ShowHelpText(); }

void TFormMain::PopupMenuColorOnClick(TObject* /*Sender*/) {
  ColorDialog.Color = Color();
  if (ColorDialog.Execute()) {
    SetColor(ColorDialog.Color);
    Pointer.ColorIndex = PaletteIndexOf(Color());
    PaintPointer();
  }
}

void TFormMain::PopupMenuLockSettingsOnClick(TObject* /*Sender*/) {
  Pointer.SettingsLocked = PopupMenuLockSettings.Checked;
}

void TFormMain::PopupMenuEscTerminatesOnClick(TObject* /*Sender*/) {
  Pointer.EscTerminates = PopupMenuEscTerminates.Checked;
  SetExitShortcut(Pointer.EscTerminates);
}

void TFormMain::PopupMenuTerminateOnClick(TObject* /*Sender*/) { App().Terminate(); }

}  // namespace qd
