// The form's context menu: its captions by interface language, its shortcuts and item
// states, the handlers of its items, and the help.
#include <array>
#include <string>

#include "model/tables.h"
#include "window/UnitMain.h"
#include "window/help_texts.h"

namespace qd {

namespace {

struct MenuCaptions {
  const char* help;
  const char* color;
  const char* escTerminates;
  const char* terminate;
};

// By interface language: English, German.
constexpr std::array<MenuCaptions, 2> kMenuCaptions = {{
    {"Help", "Color", "  Esc = Exit", "Exit"},
    {"Hilfe", "Farbe", "  Esc = Beenden", "Beenden"},
}};
// By interface language, then by the lock: unlocked, locked.
constexpr std::array<std::array<const char*, 2>, 2> kLockCaptions = {
    {{"Lock", "Unlock"}, {"Sperren", "Entsperren"}}};

std::size_t LanguageIndex(TUiLanguage language) { return static_cast<std::size_t>(language); }

// Enables or disables the item and loads its glyph: the first name for the disabled look.
void SetMenuItemState(TMenuItem& item, bool enabled, const std::string& disabledGlyph,
                      const std::string& enabledGlyph) {
  item.Enabled = enabled;
  item.Glyph = enabled ? enabledGlyph : disabledGlyph;
}

}  // namespace

void TFormMain::SetMenuCaptions(TUiLanguage language) {
  const MenuCaptions& captions = kMenuCaptions[LanguageIndex(language)];
  PopupMenuHelp.Caption = captions.help;
  PopupMenuColor.Caption = captions.color;
  PopupMenuEscTerminates.Caption = captions.escTerminates;
  PopupMenuTerminate.Caption = captions.terminate;
}

void TFormMain::SetExitShortcut(bool escTerminates) {
  PopupMenuTerminate.ShortCut = escTerminates ? kKeyEscape : static_cast<TShortCut>(scAlt | kKeyF4);
}

void TFormMain::ShowHelpText() {
  const ModalMoment modal(*this);
  App().ShowPlainMessage(HelpText(UiLanguage));
}

void TFormMain::FormMainOnContextPopup(TPoint /*MousePos*/) {
  const ModalMoment modal(*this);
  // The menu takes the keyboard so that a click elsewhere closes it; once it and whatever
  // it opened are closed, the slide show that had the keyboard before gets it back.
  const NativeWindow keyboardOwner = Ws().KeyboardOwner();
  PopupMenuOnPopup();
  // At the mouse, also when the keyboard's menu key asked for the menu.
  const TPoint cursor = Ws().GetCursorPos();
  const TMenuItem* chosen = PopupMenu.Popup(cursor.x - 36, cursor.y - 30);
  // Before the help box or the colour dialog opens, too: under Wine the window manager
  // leaves the keyboard nowhere when one of them closes after the menu had it.
  Ws().GiveKeyboardBack(keyboardOwner);
  if (chosen == &PopupMenuHelp) {
    PopupMenuHelpOnClick();
  } else if (chosen == &PopupMenuColor) {
    PopupMenuColorOnClick();
  } else if (chosen == &PopupMenuLockSettings) {
    PopupMenuLockSettingsOnClick();
  } else if (chosen == &PopupMenuEscTerminates) {
    PopupMenuEscTerminatesOnClick();
  } else if (chosen == &PopupMenuTerminate) {
    PopupMenuTerminateOnClick();
  }
  SettingsMayHaveChanged();
  Ws().GiveKeyboardBack(keyboardOwner);
}

void TFormMain::PopupMenuOnPopup() {
  SetMenuItemState(PopupMenuColor, !Settings.SettingsLocked, "ColorsDisabled", "ColorsEnabled");
  PopupMenuLockSettings.Caption =
      kLockCaptions[LanguageIndex(UiLanguage)][Settings.SettingsLocked ? 1 : 0];
  PopupMenuLockSettings.Checked = Settings.SettingsLocked;
  SetCursor(crDefault);
}

void TFormMain::PopupMenuHelpOnClick() { ShowHelpText(); }

void TFormMain::PopupMenuColorOnClick() {
  ColorDialog.Color = Color();
  const ModalMoment modal(*this);
  if (ColorDialog.Execute()) {
    SetColor(ColorDialog.Color);
    Settings.ColorIndex = PaletteIndexOf(Settings.Color);
    PaintPointer();
  }
}

void TFormMain::PopupMenuLockSettingsOnClick() {
  Settings.SettingsLocked = PopupMenuLockSettings.Checked;
}

void TFormMain::PopupMenuEscTerminatesOnClick() {
  Settings.EscTerminates = PopupMenuEscTerminates.Checked;
  SetExitShortcut(Settings.EscTerminates);
}

void TFormMain::PopupMenuTerminateOnClick() { App().Terminate(); }

}  // namespace qd
