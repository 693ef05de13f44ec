// The help texts, one per interface language.
#pragma once

#include <string>

#include "window/ui_language.h"

namespace qd {

// Windows-1252 text, lines separated by single CR characters.
const std::string& HelpText(TUiLanguage language);

}  // namespace qd
