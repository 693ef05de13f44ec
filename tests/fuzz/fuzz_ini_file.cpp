// Any bytes as an INI file: parsing never fails, and what is written back parses to the
// same sections, keys and values, and writes back the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void CheckSameValues(const qd::TMemIniFile& a, const qd::TMemIniFile& b) {
  Check(a.ReadSections() == b.ReadSections());
  for (const std::string& section : a.ReadSections()) {
    Check(a.ReadSection(section) == b.ReadSection(section));
    for (const std::string& key : a.ReadSection(section)) {
      Check(a.ReadString(section, key, "\x01missing") == b.ReadString(section, key, "\x02missing"));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  qd::TMemIniFile ini(bytes);
  const std::string text = ini.GetText();
  const qd::TMemIniFile again(text);
  Check(again.GetText() == text);
  CheckSameValues(ini, again);

  // Writes land whatever the file held before.
  ini.WriteString("Pointer", "Size", "7");
  ini.WriteInteger("Colors", "ColorA", -5);
  const qd::TMemIniFile written(ini.GetText());
  Check(written.ReadString("pointer", "size", "") == "7");
  Check(written.ReadInteger("COLORS", "colora", 0) == -5);
  return 0;
}
