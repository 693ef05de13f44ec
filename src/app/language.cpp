#include "app/language.h"

#include <algorithm>
#include <array>
#include <string>

#include "framework/strings.h"

namespace qd {

namespace {
// Germany, Switzerland, Austria, Luxembourg, Liechtenstein.
constexpr std::array<std::uint16_t, 5> kGermanIds = {1031, 2055, 3079, 4103, 5127};
}  // namespace

std::uint16_t GetUserLanguageId(SystemServices& services) {
  // The platform gives four hexadecimal digits, such as 0407.
  std::string text = "$";
  text += services.LocaleLanguageText();
  const std::int32_t id = StrToIntDef(text, 0);
  return id >= 0 && id <= 0xFFFF ? static_cast<std::uint16_t>(id) : 0;
}

TUiLanguage UiLanguageFor(std::uint16_t languageId) {
  return std::find(kGermanIds.begin(), kGermanIds.end(), languageId) != kGermanIds.end()
             ? TUiLanguage::German
             : TUiLanguage::English;
}

TUiLanguage DetectUiLanguage(SystemServices& services) {
  return UiLanguageFor(GetUserLanguageId(services));
}

}  // namespace qd
