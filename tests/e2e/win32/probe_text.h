// How texts travel between the tests and probe.exe, on its command line and in its answers:
// UTF-8 with control, non-ASCII and backslash bytes written as \xHH, so that they pass
// whatever the Unix locale and Wine make of them. Shared by both ends so that they agree.
#pragma once

#include <cstdio>
#include <string>

namespace probe_text {

inline std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

inline std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace probe_text
