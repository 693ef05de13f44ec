// The interface language, fixed once at start from the user's default locale.
#pragma once

#include <cstdint>

#include "framework/system_services.h"
#include "window/ui_language.h"

namespace qd {

// The Windows language identifier of the user's default locale; 0 if the platform's
// text does not convert.
std::uint16_t GetUserLanguageId(SystemServices& services);
// German for the five German locales, English for every other.
TUiLanguage UiLanguageFor(std::uint16_t languageId);
// The interface language of the user's default locale.
TUiLanguage DetectUiLanguage(SystemServices& services);

}  // namespace qd
