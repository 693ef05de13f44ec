// The interface language, fixed once at start from the user's default locale.
#pragma once

#include <cstdint>

namespace qd {

enum class TUiLanguage : std::uint8_t { English = 0, German = 1 };

}  // namespace qd
