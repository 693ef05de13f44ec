// The context menu's captions, shortcuts and item states, and the help text.
#pragma once

#include <string>

#include "framework/components.h"
#include "model/pointer_state.h"

namespace qd {

void SetMenuCaptions(TUiLanguage language);
// Esc when Esc ends the program, else Alt+F4.
void SetExitShortcut(bool escTerminates);
// Enables or disables the item and loads its glyph: the first name for the disabled look.
void SetMenuItemState(TMenuItem& item, bool enabled, const std::string& disabledGlyph,
                      const std::string& enabledGlyph);
// Windows-1252 text, lines separated by single CR characters.
const std::string& HelpText(TUiLanguage language);
// The help action: the help text in the plain message dialog.
void ShowHelpText();

}  // namespace qd
