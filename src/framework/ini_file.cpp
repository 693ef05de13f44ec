#include "framework/ini_file.h"

#include "framework/file_util.h"
#include "framework/strings.h"

namespace qd {

namespace {

// Editors that save UTF-8 put this mark before the first line; it is not part of it.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Cuts the next line off `text`, taking CR LF, LF or CR as its end.
std::string_view NextLine(std::string_view& text) {
  const auto end = text.find_first_of("\r\n");
  if (end == std::string_view::npos) {
    const std::string_view line = text;
    text = {};
    return line;
  }
  const std::string_view line = text.substr(0, end);
  const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  text.remove_prefix(end + (crlf ? 2 : 1));
  return line;
}

}  // namespace

TMemIniFile::TMemIniFile(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) {
    text.remove_prefix(kUtf8Bom.size());
  }
  while (!text.empty()) {
    const std::string_view line = TrimBlanks(NextLine(text));
    if (line.empty() || line.front() == ';') {
      continue;
    }
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections_.push_back({std::string(TrimBlanks(line.substr(1, line.size() - 2))), {}});
      continue;
    }
    if (sections_.empty()) {
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      sections_.back().lines.push_back({std::string(line), {}, false});
    } else {
      sections_.back().lines.push_back({std::string(TrimBlanks(line.substr(0, equals))),
                                        std::string(TrimBlanks(line.substr(equals + 1))), true});
    }
  }
}

std::size_t TMemIniFile::FindSection(std::string_view name) const {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (SameTextAnsi(sections_[i].name, name)) {
      return i;
    }
  }
  return kNone;
}

std::size_t TMemIniFile::FindKey(const Section& section, std::string_view ident) {
  for (std::size_t i = 0; i < section.lines.size(); ++i) {
    if (section.lines[i].hasEquals && SameTextAnsi(section.lines[i].name, ident)) {
      return i;
    }
  }
  return kNone;
}

const TMemIniFile::Line* TMemIniFile::FindLine(std::string_view section,
                                               std::string_view ident) const {
  const std::size_t s = FindSection(section);
  if (s == kNone) {
    return nullptr;
  }
  const std::size_t k = FindKey(sections_[s], ident);
  return k == kNone ? nullptr : &sections_[s].lines[k];
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view ident,
                                    const std::string& def) const {
  const Line* line = FindLine(section, ident);
  return line == nullptr ? def : line->value;
}

std::int32_t TMemIniFile::ReadInteger(std::string_view section, std::string_view ident,
                                      std::int32_t def) const {
  const Line* line = FindLine(section, ident);
  return line == nullptr ? def : StrToIntDef(line->value, def);
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TMemIniFile::WriteString(std::string_view section, std::string_view ident,
                              std::string_view value) {
  std::size_t s = FindSection(section);
  if (s == kNone) {
    s = sections_.size();
    sections_.push_back({std::string(section), {}});
  }
  Section& target = sections_[s];
  const std::size_t k = FindKey(target, ident);
  if (k == kNone) {
    target.lines.push_back({std::string(ident), std::string(value), true});
    return;
  }
  target.lines[k].name = ident;
  target.lines[k].value = value;
}

void TMemIniFile::WriteInteger(std::string_view section, std::string_view ident,
                               std::int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

void TMemIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) {
    names.push_back(section.name);
  }
  return names;
}

std::vector<std::string> TMemIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  const std::size_t s = FindSection(section);
  if (s != kNone) {
    for (const Line& line : sections_[s].lines) {
      if (line.hasEquals) {
        keys.push_back(line.name);
      }
    }
  }
  return keys;
}

std::string TMemIniFile::GetText() const {
  std::string text;
  for (const Section& section : sections_) {
    text += '[';
    text += section.name;
    text += "]\r\n";
    for (const Line& line : section.lines) {
      text += line.name;
      if (line.hasEquals) {
        text += '=';
        text += line.value;
      }
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

std::optional<std::string> ReadIniFile(SystemServices& services, const std::string& path,
                                       TMemIniFile& ini) {
  FileRead read = services.ReadWholeFile(path);
  switch (read.status) {
    case FileStatus::Ok:
      ini = TMemIniFile(read.bytes);
      return std::nullopt;
    case FileStatus::NotFound:
      ini = TMemIniFile();
      return std::nullopt;
    case FileStatus::Error:
      break;
  }
  ini = TMemIniFile();
  return read.error.empty() ? "Cannot read " + path : read.error;
}

std::optional<std::string> UpdateIniFile(SystemServices& services, const std::string& path,
                                         const TMemIniFile& ini) {
  return WriteFileAtomically(services, path, ini.GetText());
}

}  // namespace qd
