#include "framework/strings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace qd {

namespace {

bool IsBlank(char ch) { return static_cast<unsigned char>(ch) <= 32; }

std::optional<unsigned> DigitValue(char ch, unsigned base) {
  unsigned value = 0;
  if (ch >= '0' && ch <= '9') {
    value = static_cast<unsigned>(ch - '0');
  } else if (ch >= 'a' && ch <= 'f') {
    value = static_cast<unsigned>(ch - 'a') + 10;
  } else if (ch >= 'A' && ch <= 'F') {
    value = static_cast<unsigned>(ch - 'A') + 10;
  } else {
    return std::nullopt;
  }
  if (value >= base) {
    return std::nullopt;
  }
  return value;
}

// Digits only, at least one, magnitude at most `limit`.
std::optional<std::uint64_t> ParseMagnitude(std::string_view digits, unsigned base,
                                            std::uint64_t limit) {
  if (digits.empty()) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  for (const char ch : digits) {
    const auto digit = DigitValue(ch, base);
    if (!digit) {
      return std::nullopt;
    }
    magnitude = magnitude * base + *digit;
    if (magnitude > limit) {
      return std::nullopt;
    }
  }
  return magnitude;
}

}  // namespace

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
  // "0x" alone is not hexadecimal; it then fails as a decimal number.
  const bool zeroX = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  bool negative = false;
  if (!zeroX && !text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (zeroX || text.starts_with('$')) {
    const auto bits = ParseMagnitude(text.substr(zeroX ? 2 : 1), 16, 0xFFFFFFFFU);
    if (!bits) {
      return def;
    }
    const auto pattern = static_cast<std::uint32_t>(negative ? 0U - *bits : *bits);
    return static_cast<std::int32_t>(pattern);
  }
  const std::uint64_t limit = negative ? 0x80000000U : 0x7FFFFFFFU;
  const auto magnitude = ParseMagnitude(text, 10, limit);
  if (!magnitude) {
    return def;
  }
  const auto value = static_cast<std::int64_t>(*magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string IntToStr(std::int32_t value) { return std::to_string(value); }

std::string IntToHex(std::uint32_t value, int minDigits) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xFU]);
    value >>= 4U;
  } while (value != 0);
  if (std::cmp_less(text.size(), minDigits)) {
    text.insert(0, static_cast<std::size_t>(minDigits) - text.size(), '0');
  }
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string Windows1252ToUtf8(std::string_view text) {
  // 0x80 to 0x9F; the rest of the upper half is Latin-1, the code point of the same value.
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string utf8;
  utf8.reserve(text.size());
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    const unsigned code = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80U] : byte;
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0U | (code >> 6U));
      utf8 += static_cast<char>(0x80U | (code & 0x3FU));
    } else {
      utf8 += static_cast<char>(0xE0U | (code >> 12U));
      utf8 += static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
      utf8 += static_cast<char>(0x80U | (code & 0x3FU));
    }
  }
  return utf8;
}

char FoldCase(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  unsigned folded = c;
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
    folded = c + 0x20U;  // ASCII and the Latin-1 capitals, but not the multiplication sign
  } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
    folded = c + 0x10U;  // S caron, OE, Z caron
  } else if (c == 0x9F) {
    folded = 0xFF;  // Y diaeresis
  }
  return static_cast<char>(folded);
}

bool SameTextAnsi(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

}  // namespace qd
