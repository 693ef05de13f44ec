#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/language.h"
#include "fake_system_services.h"

namespace qd {
namespace {

struct LanguageCase {
  const char* localeText;  // what the platform reports for the user's default locale
  std::uint16_t id;
  TUiLanguage language;
};

TEST(InterfaceLanguage, FromTheUserLocale) {
  const LanguageCase cases[] = {
      {"0407", 1031, TUiLanguage::German},   // Germany
      {"0807", 2055, TUiLanguage::German},   // Switzerland
      {"0C07", 3079, TUiLanguage::German},   // Austria
      {"0c07", 3079, TUiLanguage::German},   // lower-case digits
      {"1007", 4103, TUiLanguage::German},   // Luxembourg
      {"1407", 5127, TUiLanguage::German},   // Liechtenstein
      {"0409", 1033, TUiLanguage::English},  // English, United States
      {"040C", 1036, TUiLanguage::English},  // French, France
      {"0007", 7, TUiLanguage::English},     // German without a country is none of the five
      {"1807", 6151, TUiLanguage::English},  // the next German sublanguage is not either
      {"0406", 1030, TUiLanguage::English},
      // Text that does not convert counts as no language: English.
      {"", 0, TUiLanguage::English},
      {"04O7", 0, TUiLanguage::English},
      {"$0407", 0, TUiLanguage::English},
      {"0407 ", 0, TUiLanguage::English},
      {"10407", 0, TUiLanguage::English},  // beyond 16 bits
  };
  for (const LanguageCase& c : cases) {
    SCOPED_TRACE(c.localeText);
    test::FakeSystemServices sys;
    sys.localeText = c.localeText;
    EXPECT_EQ(GetUserLanguageId(sys), c.id);
    EXPECT_EQ(DetectUiLanguage(sys), c.language);
    EXPECT_EQ(UiLanguageFor(c.id), c.language);
  }
}

}  // namespace
}  // namespace qd
