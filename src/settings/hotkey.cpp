#include "settings/hotkey.h"

#include <array>
#include <string>
#include <utility>

#include "framework/strings.h"

namespace qd {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'a' && ch <= 'z') {
      ch = static_cast<char>(ch - 'a' + 'A');
    }
  }
  return out;
}

unsigned ModifierOf(const std::string& name) {
  if (name == "CTRL" || name == "CONTROL") {
    return kHotKeyCtrl;
  }
  if (name == "ALT") {
    return kHotKeyAlt;
  }
  if (name == "SHIFT") {
    return kHotKeyShift;
  }
  return name == "WIN" ? kHotKeyWin : 0;
}

// The virtual-key code of a key name, 0 for none.
std::uint16_t KeyOf(const std::string& name) {
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
    return static_cast<std::uint16_t>(name[0]);
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F' && name[1] != '0') {
    const std::int32_t number = StrToIntDef(std::string_view(name).substr(1), 0);
    if (number >= 1 && number <= 24 && std::to_string(number) == name.substr(1)) {
      return static_cast<std::uint16_t>(kKeyF1 + number - 1);
    }
    return 0;
  }
  static constexpr std::array<std::pair<std::string_view, std::uint16_t>, 11> kNamed = {{
      {"SPACE", 0x20},
      {"PAGEUP", 0x21},
      {"PAGEDOWN", 0x22},
      {"END", 0x23},
      {"HOME", 0x24},
      {"LEFT", kKeyLeft},
      {"UP", kKeyUp},
      {"RIGHT", kKeyRight},
      {"DOWN", kKeyDown},
      {"INSERT", 0x2D},
      {"DELETE", 0x2E},
  }};
  for (const auto& [keyName, code] : kNamed) {
    if (name == keyName) {
      return code;
    }
  }
  return name == "PAUSE" ? 0x13 : 0;
}

}  // namespace

std::optional<HotKey> ParseHotKey(std::string_view text) {
  const std::string whole = Upper(TrimBlanks(text));
  if (whole.empty() || whole == "OFF") {
    return HotKey{};
  }
  HotKey hotKey;
  std::string_view rest = whole;
  while (true) {
    const std::size_t plus = rest.find('+');
    const std::string part = std::string(TrimBlanks(rest.substr(0, plus)));
    if (plus == std::string_view::npos) {
      hotKey.key = KeyOf(part);
      break;
    }
    const unsigned modifier = ModifierOf(part);
    if (modifier == 0 || (hotKey.modifiers & modifier) != 0) {
      return std::nullopt;
    }
    hotKey.modifiers |= modifier;
    rest = rest.substr(plus + 1);
  }
  // Shift alone would take a typed capital letter from every program.
  if (hotKey.key == 0 || (hotKey.modifiers & (kHotKeyCtrl | kHotKeyAlt | kHotKeyWin)) == 0) {
    return std::nullopt;
  }
  return hotKey;
}

}  // namespace qd
