// The in-memory INI file: the whole file is parsed at open, values are read and written
// in memory, and the object is written back as a whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/system_services.h"

namespace qd {

// Reading rules: lines end in CR LF, LF or CR; each line is trimmed of blanks and control
// characters; empty lines and ';' lines are dropped; "[name]" opens a section; lines
// before the first section are dropped; blanks around the first '=' are removed.
// Section and key names match without regard to case (Windows-1252). With duplicate
// sections or keys the first one answers reads and takes writes; all are kept.
class TMemIniFile {
 public:
  TMemIniFile() = default;
  explicit TMemIniFile(std::string_view text);

  // Missing key: `def`. A present key with an empty value reads as empty text.
  [[nodiscard]] std::string ReadString(std::string_view section, std::string_view ident,
                                       const std::string& def) const;
  // Missing, empty or not a number: `def`.
  [[nodiscard]] std::int32_t ReadInteger(std::string_view section, std::string_view ident,
                                         std::int32_t def) const;
  // Read as an integer; any value but 0 is true.
  [[nodiscard]] bool ReadBool(std::string_view section, std::string_view ident, bool def) const;

  // Replaces the first line of the key in place, spelled `ident`, or appends the key at
  // the end of its section; a missing section is appended after the others.
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view ident, bool value);

  // Section names in file order, and the key names of the first section of that name.
  [[nodiscard]] std::vector<std::string> ReadSections() const;
  [[nodiscard]] std::vector<std::string> ReadSection(std::string_view section) const;

  // The file's text: per section "[name]", its lines, an empty line; CR LF line ends.
  [[nodiscard]] std::string GetText() const;

 private:
  struct Line {
    std::string name;  // the whole line when it has no '='
    std::string value;
    bool hasEquals = false;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Index of the first section or key line of that name, or kNone.
  [[nodiscard]] std::size_t FindSection(std::string_view name) const;
  static std::size_t FindKey(const Section& section, std::string_view ident);
  [[nodiscard]] const Line* FindLine(std::string_view section, std::string_view ident) const;

  std::vector<Section> sections_;
};

// Opens an INI object on a file. A missing file gives an empty object; a file that
// exists but cannot be read leaves `ini` empty and returns the system's message.
std::optional<std::string> ReadIniFile(SystemServices& services, const std::string& path,
                                       TMemIniFile& ini);

// Writes the object over the file, atomically; returns the system's message on failure.
std::optional<std::string> UpdateIniFile(SystemServices& services, const std::string& path,
                                         const TMemIniFile& ini);

}  // namespace qd
