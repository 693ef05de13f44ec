#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/strings.h"

namespace qd {
namespace {

constexpr std::int32_t kDef = 777;

TEST(StrToIntDef, ConvertsOrGivesTheDefault) {
  const struct {
    std::string text;
    std::int32_t expected;
  } cases[] = {
      {"0", 0},
      {"255", 255},
      {"-1", -1},
      {"+17", 17},
      {"-0", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      // Hexadecimal: up to 32 bits as a bit pattern, leading zeros free.
      {"$0000FF", 255},
      {"$ff", 255},
      {"0x0000FF", 255},
      {"0X0000ff", 255},
      {"0x0", 0},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"-$10", -16},
      {"+$10", 16},
      {"$00000000000000FF", 255},
      // Not numbers: "0x" is hexadecimal only at the very start and with digits after it.
      {"", kDef},
      {"-", kDef},
      {"+", kDef},
      {"$", kDef},
      {"-$", kDef},
      {"0x", kDef},
      {"0X", kDef},
      {"x10", kDef},
      {"-0x10", kDef},
      {"0x-1", kDef},
      {"$-1", kDef},
      {"true", kDef},
      {"yes", kDef},
      {"1.5", kDef},
      {"1e3", kDef},
      {"12abc", kDef},
      {"0xFG", kDef},
      {"--1", kDef},
      {"+-1", kDef},
      {"\xB9", kDef},
      // Blanks are no part of a number; the INI file trims its values before this.
      {" 1", kDef},
      {"1 ", kDef},
      {"- 1", kDef},
      {"1\t", kDef},
      {std::string("1\0", 2), kDef},
      // Beyond 32 bits.
      {"2147483648", kDef},
      {"-2147483649", kDef},
      {"99999999999999999999999", kDef},
      {"$100000000", kDef},
      {"0x1FFFFFFFF", kDef},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntDef(c.text, kDef), c.expected) << "text: \"" << c.text << "\"";
  }
}

TEST(IntToHex, UpperCaseWithAtLeastTheDigitsAsked) {
  EXPECT_EQ(IntToHex(0x1FFFFFFF, 6), "1FFFFFFF");
  EXPECT_EQ(IntToHex(0xFF, 6), "0000FF");
  EXPECT_EQ(IntToHex(0xABCDEF, 6), "ABCDEF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(0xFFFFFFFF, 2), "FFFFFFFF");
}

TEST(Windows1252ToUtf8, EachLetterAsTheUserSeesIt) {
  struct Case {
    std::string windows1252, utf8;
  };
  for (const Case& c : std::vector<Case>{
           {"Help\r\r", "Help\r\r"},
           {"\x80", "\xE2\x82\xAC"},    // euro sign
           {"\x97?", "\xE2\x80\x94?"},  // em dash
           {"Gr\xF6\xDF"
            "e 15\xB0",
            "Gr\xC3\xB6\xC3\x9F"
            "e 15\xC2\xB0"},
           {"\x8A\x9F\xFF", "\xC5\xA0\xC5\xB8\xC3\xBF"},
           {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined
           {std::string("a\0b", 3), std::string("a\0b", 3)},
       }) {
    EXPECT_EQ(Windows1252ToUtf8(c.windows1252), c.utf8) << c.windows1252;
  }
}

TEST(SameTextAnsi, FoldsAsciiAndWindows1252LettersOnly) {
  EXPECT_TRUE(SameTextAnsi("Pointer", "POINTER"));
  EXPECT_TRUE(SameTextAnsi("\xC0\xDE\x8A\x8C\x8E\x9F", "\xE0\xFE\x9A\x9C\x9E\xFF"));
  EXPECT_FALSE(SameTextAnsi("\xD7", "\xF7"));  // multiplication and division signs
  EXPECT_FALSE(SameTextAnsi("[", "{"));
  EXPECT_FALSE(SameTextAnsi("Color", "ColorA"));
}

}  // namespace
}  // namespace qd
