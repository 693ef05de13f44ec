// File helpers above the system services.
#pragma once

#include <optional>
#include <string>

#include "framework/system_services.h"

namespace qd {

// Replaces the file at `path` with `bytes` so that a crash or power loss at any moment
// leaves the old file or the new one, never a torn one: the bytes go to a temporary file
// of this process beside it (`path`.<process id>.tmp, or a shorter name in the same folder
// where that one cannot be made), which is flushed, closed, given the target's attributes
// and renamed over it. A symbolic link stays a link: the file it leads to is replaced.
// Where no file can be made beside it, or where the file has other names (hard links), the
// bytes are written over the file itself. A read-only file is never written. On any failure
// the temporary file is deleted, the old file stays as it was (unless written in place),
// and the system's message is returned.
std::optional<std::string> WriteFileAtomically(SystemServices& services, const std::string& path,
                                               const std::string& bytes);

}  // namespace qd
