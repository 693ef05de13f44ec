// File helpers above the system services.
#pragma once

#include <optional>
#include <string>

#include "framework/system_services.h"

namespace qd {

// Replaces the file at `path` with `bytes` so that a crash or power loss at any moment
// leaves the old file or the new one, never a torn one: the bytes go to `path` + ".tmp",
// which is flushed, closed and then renamed over the target. On any failure the
// temporary file is deleted, the old file stays as it was, and the system's message is
// returned.
std::optional<std::string> WriteFileAtomically(SystemServices& services, const std::string& path,
                                               const std::string& bytes);

}  // namespace qd
