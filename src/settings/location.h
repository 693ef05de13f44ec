// Where the settings file lives: in the user's application-data folder under the maker's
// folder and one named after the program file, or beside the program file.
#pragma once

#include <string>
#include <string_view>

#include "framework/system_services.h"

namespace qd {

// The per-user base folder is the value "AppData" of this key of the current user; the
// leading '\' means from the root key.
inline constexpr std::string_view kShellFoldersKey =
    R"(\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders\)";

// The program file's name without folder and extension: C:\Tools\tool.old.exe gives
// tool.old.
std::string ExeBaseNameOf(const std::string& exePath);

// The program file's path with its extension replaced by (or, without one, extended
// by) ".ini".
std::string BesideProgramPathOf(const std::string& exePath);

// Resolves the settings file once at start-up: base\maker\ExeBaseName\ExeBaseName.ini
// when a per-user base folder is found and that folder exists or can be made, otherwise
// the beside-program path. With `copyFlag`, an INI file beside the program is copied
// into a per-user place that has none yet. Never fails; every problem falls back.
std::string ResolveSettingsFilePath(SystemServices& services, const std::string& makerFolder,
                                    const std::string& exePath, bool copyFlag);

}  // namespace qd
