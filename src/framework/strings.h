// Number and text conversions in the framework's manner: a conversion that fails gives
// the caller's default instead of an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// A signed 32-bit integer: optional '-' or '+', then decimal digits, or '$' or (when the
// text is longer than two characters) "0x"/"0X" followed by hexadecimal digits.
// Hexadecimal takes up to 32 bits as a bit pattern, so "$FFFFFFFF" is -1. Anything
// else, blanks included, and values outside the range give `def`.
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

std::string IntToStr(std::int32_t value);

// Upper-case hexadecimal, padded with zeros to at least `minDigits` digits.
std::string IntToHex(std::uint32_t value, int minDigits);

// Trim: characters of code 32 or below (blanks and control characters) removed at both ends.
std::string_view TrimBlanks(std::string_view text);

// The program's own texts (captions, help texts, framework messages) are Windows-1252;
// the window system takes UTF-8. This is the one conversion between the two. The five
// bytes that Windows-1252 leaves undefined stand for the control characters of the same
// code, as Windows takes them.
std::string Windows1252ToUtf8(std::string_view text);

// Case folding of Windows-1252 text (ASCII and the Latin-1 letters), for names that are
// matched without regard to case.
char FoldCase(char ch);
bool SameTextAnsi(std::string_view a, std::string_view b);

}  // namespace qd
