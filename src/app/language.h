// The interface language, fixed once from the user's default locale.
#pragma once

#include <cstdint>

#include "framework/system_services.h"
#include "model/pointer_state.h"

namespace qd {

// The Windows language identifier of the user's default locale; 0 if the platform's
// text does not convert.
std::uint16_t GetUserLanguageId(SystemServices& services);
// German for the five German locales, English for every other.
TUiLanguage UiLanguageFor(std::uint16_t languageId);
// Stores the identifier and the language in the pointer state.
void DetectUiLanguage(SystemServices& services);

}  // namespace qd
