#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/ini_file.h"

namespace qd {
namespace {

using Strings = std::vector<std::string>;

struct ReadCase {
  const char* what;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> value;  // nullopt: the key is missing
};

TEST(TMemIniFile, ReadsByTheFileRules) {
  const ReadCase cases[] = {
      {"CR LF", "[S]\r\nk=1\r\n", "S", "k", "1"},
      {"LF", "[S]\nk=1\nj=2\n", "S", "j", "2"},
      {"CR", "[S]\rk=1\rj=2\r", "S", "j", "2"},
      {"mixed line ends", "[S]\r\n\ra=1\n\r\nb=2\r\rc=3", "S", "c", "3"},
      {"no newline at the end", "[S]\nk=last", "S", "k", "last"},
      {"blanks around the line", " \t [S] \t\n \t k=1 \t \n", "S", "k", "1"},
      {"control characters around", "\x01[S]\x1F\n\x02k=1\x1F\n", "S", "k", "1"},
      {"DEL and high bytes are text",
       "[S]\nk=\xA0"
       "1\x7F\n",
       "S", "k",
       "\xA0"
       "1\x7F"},
      {"blanks around the first '='", "[S]\nk \t=\t 1 = 2\n", "S", "k", "1 = 2"},
      {"blanks inside the name kept", "[S]\nmy key = v\n", "S", "my key", "v"},
      {"section name trimmed", "[  S \t]\nk=1\n", "S", "k", "1"},
      {"section name case", "[pOINTER]\nk=1\n", "Pointer", "k", "1"},
      {"key name case", "[S]\nTIPPOSX=5\n", "S", "TipPosX", "5"},
      {"Windows-1252 case",
       "[Gr\xD6\xDF"
       "e]\n\xC4=1\n",
       "gr\xF6\xDF"
       "e",
       "\xE4", "1"},
      {"line before the first section", "k=1\n[S]\nj=2\n", "S", "k", std::nullopt},
      {"comment dropped", "[S]\n;k=1\n", "S", "k", std::nullopt},
      {"indented comment dropped", "[S]\n   ;k=1\n", "S", "k", std::nullopt},
      {"';' inside a value kept", "[S]\nk=1;2\n", "S", "k", "1;2"},
      {"empty value", "[S]\nk=\n", "S", "k", ""},
      {"line without '=' is no key", "[S]\nk\n", "S", "k", std::nullopt},
      {"'=' only in the value", "[S]\nk=a=b\n", "S", "k", "a=b"},
      {"key in another section", "[S]\n[T]\nk=1\n", "S", "k", std::nullopt},
      {"unclosed section header is a line", "[S]\n[T\nk=1\n", "S", "k", "1"},
      {"empty section name", "[]\nk=1\n", "", "k", "1"},
      {"duplicate key: first wins", "[S]\nk=1\nk=2\n", "S", "k", "1"},
      {"duplicate key in another case: first wins", "[S]\nK=1\nk=2\n", "S", "k", "1"},
      {"duplicate section: first wins", "[S]\nk=1\n[s]\nk=2\nj=3\n", "S", "k", "1"},
      {"duplicate section: second not searched", "[S]\nk=1\n[S]\nj=3\n", "S", "j", std::nullopt},
      {"NUL bytes inside a value", std::string("[S]\nk=a\0b\n", 10), "S", "k",
       std::string("a\0b", 3)},
      {"NUL bytes around a line", std::string("\0[S]\0\n\0k=1\0", 12), "S", "k", "1"},
      {"UTF-8 byte order mark", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "1"},
      {"empty file", "", "S", "k", std::nullopt},
      {"huge line", "[S]\nk=" + std::string(1 << 20, 'x') + "\n", "S", "k",
       std::string(1 << 20, 'x')},
  };
  for (const auto& c : cases) {
    const TMemIniFile ini(c.file);
    const std::string missing = "<missing>";
    EXPECT_EQ(ini.ReadString(c.section, c.key, missing), c.value.value_or(missing)) << c.what;
  }
}

TEST(TMemIniFile, WritesInPlaceOrAppendsAndSerialisesWithCrLf) {
  // Each case writes S.k=new to the file.
  const struct {
    const char* what;
    std::string file;
    std::string expected;
  } cases[] = {
      {"empty object: new section", "", "[S]\r\nk=new\r\n\r\n"},
      {"replaced in place, spelled as written", "[S]\na=1\nK = old\nb=2\n",
       "[S]\r\na=1\r\nk=new\r\nb=2\r\n\r\n"},
      {"appended at the end of its section", "[S]\na=1\n[T]\nb=2\n",
       "[S]\r\na=1\r\nk=new\r\n\r\n[T]\r\nb=2\r\n\r\n"},
      {"missing section after the others", "[T]\nb=2\n[U]\n",
       "[T]\r\nb=2\r\n\r\n[U]\r\n\r\n[S]\r\nk=new\r\n\r\n"},
      {"section keeps the file's spelling", "[ s ]\nk=1\n", "[s]\r\nk=new\r\n\r\n"},
      {"comments, empty lines and lines before the sections go", "x=1\n;c\n\n[S]\n; c\n\nk=1\n",
       "[S]\r\nk=new\r\n\r\n"},
      {"lines without '=' survive", "[S]\nfree text\n", "[S]\r\nfree text\r\nk=new\r\n\r\n"},
      {"only the first duplicate key is replaced", "[S]\nk=1\nk=2\n",
       "[S]\r\nk=new\r\nk=2\r\n\r\n"},
      {"duplicate sections both kept, first written", "[S]\n[S]\nk=2\n",
       "[S]\r\nk=new\r\n\r\n[S]\r\nk=2\r\n\r\n"},
  };
  for (const auto& c : cases) {
    TMemIniFile ini(c.file);
    ini.WriteString("S", "k", "new");
    EXPECT_EQ(ini.GetText(), c.expected) << c.what;
  }
}

TEST(TMemIniFile, ListsSectionsAndKeys) {
  const TMemIniFile ini("[A]\nx=1\nfree\ny=2\n[b]\n[a]\nz=3\n");
  EXPECT_EQ(ini.ReadSections(), (Strings{"A", "b", "a"}));
  EXPECT_EQ(ini.ReadSection("a"), (Strings{"x", "y"}));
  EXPECT_EQ(ini.ReadSection("none"), Strings{});
}

}  // namespace
}  // namespace qd
