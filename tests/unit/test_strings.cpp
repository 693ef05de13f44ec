#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/strings.h"

namespace qd {
namespace {

constexpr std::int32_t kDef = 777;

struct ConversionCase {
  std::string text;
  std::int32_t expected;
};

TEST(StrToIntDef, ConvertsOrGivesTheDefault) {
  const ConversionCase cases[] = {
      // Decimal, signs, leading zeros.
      {"0", 0},
      {"255", 255},
      {"-1", -1},
      {"+17", 17},
      {"-0", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      // Hexadecimal forms.
      {"$0000FF", 255},
      {"$ff", 255},
      {"0x0000FF", 255},
      {"0X0000ff", 255},
      {"0x0", 0},
      {"$0407", 0x0407},
      {"$FFFFFFFF", -1},  // 32 bits as a bit pattern
      {"$80000000", INT32_MIN},
      {"-$10", -16},
      {"+$10", 16},
      {"$00000000000000FF", 255},  // leading zeros do not count against 32 bits
      // Not numbers.
      {"", kDef},
      {"-", kDef},
      {"+", kDef},
      {"$", kDef},
      {"-$", kDef},
      {"0x", kDef},  // two characters: not hexadecimal, and not decimal either
      {"0X", kDef},
      {"x10", kDef},
      {"-0x10", kDef},  // "0x" only at the very start
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
      // Blanks are not part of a number; the INI file trims its values before this.
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
      {"\xB9", kDef},  // superscript one in Windows-1252
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntDef(c.text, kDef), c.expected) << "text: \"" << c.text << "\"";
  }
}

TEST(IntToStr, WritesDecimalWithMinusWhenNegative) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-1), "-1");
  EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
  EXPECT_EQ(IntToStr(INT32_MAX), "2147483647");
}

TEST(IntToHex, UpperCaseWithAtLeastTheDigitsAsked) {
  EXPECT_EQ(IntToHex(0x1FFFFFFF, 6), "1FFFFFFF");
  EXPECT_EQ(IntToHex(0xFF, 6), "0000FF");
  EXPECT_EQ(IntToHex(0xABCDEF, 6), "ABCDEF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(0xFFFFFFFF, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(0x5, 10), "0000000005");
}

TEST(TrimBlanks, RemovesBlanksAndControlCharactersAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks(" \t a b \x01\x1F "), "a b");
  EXPECT_EQ(TrimBlanks(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(TrimBlanks("   "), "");
  // Bytes above 127 are text in Windows-1252, not blanks.
  EXPECT_EQ(TrimBlanks("\xA0x\xFF"), "\xA0x\xFF");
}

TEST(SameTextAnsi, FoldsAsciiAndWindows1252Letters) {
  EXPECT_TRUE(SameTextAnsi("Pointer", "POINTER"));
  EXPECT_TRUE(SameTextAnsi("Gr\xD6\xDF" "e", "gr\xF6\xDF" "E"));  // Größe
  EXPECT_TRUE(SameTextAnsi("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));
  EXPECT_FALSE(SameTextAnsi("\xD7", "\xF7"));  // multiplication and division signs
  EXPECT_FALSE(SameTextAnsi("Color", "ColorA"));
  EXPECT_FALSE(SameTextAnsi("[", "{"));  // no folding outside the letters
}

}  // namespace
}  // namespace qd
