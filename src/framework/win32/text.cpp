#include "framework/win32/text.h"

#include <climits>
#include <cstdint>

#include "framework/win32/win32.h"

namespace qd::win32 {

std::wstring InstanceTag(std::string_view name) {
  std::wstring wide = Utf8ToWide(name);
  if (!wide.empty()) ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  // 64-bit FNV-1a over the UTF-16 units.
  std::uint64_t hash = 14695981039346656037ULL;
  for (const wchar_t unit : wide) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ULL;
  }
  std::wstring tag = L"Brennavo.Quiverdart.";
  for (int shift = 60; shift >= 0; shift -= 4) {
    tag += L"0123456789ABCDEF"[(hash >> static_cast<unsigned>(shift)) & 0xFU];
  }
  return tag;
}

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// The C runtime's rules, case by case, as text.h lists them.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> args;
  size_t i = 0;
  const auto blank = [&](size_t at) { return line[at] == L' ' || line[at] == L'\t'; };

  std::wstring program;
  if (i < line.size() && line[i] == L'"') {
    for (++i; i < line.size() && line[i] != L'"'; ++i) program += line[i];
    if (i < line.size()) ++i;
  } else {
    for (; i < line.size() && !blank(i); ++i) program += line[i];
  }
  args.push_back(std::move(program));

  while (true) {
    while (i < line.size() && blank(i)) ++i;
    if (i >= line.size()) break;
    std::wstring arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !blank(i))) {
      if (line[i] == L'\\') {
        size_t slashes = 0;
        while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
        if (i < line.size() && line[i] == L'"') {
          arg.append(slashes / 2, L'\\');
          if (slashes % 2 == 1) {
            arg += L'"';
            ++i;
          }
        } else {
          arg.append(slashes, L'\\');
        }
      } else if (line[i] == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          arg += L'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace qd::win32
