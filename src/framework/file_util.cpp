#include "framework/file_util.h"

namespace qd {

namespace {

std::string FailureText(SystemServices& services, const std::string& path) {
  std::string message = services.LastErrorMessage();
  return message.empty() ? "Cannot write " + path : message;
}

// Writes over the file itself, which a crash meanwhile may leave torn: only where nothing
// can be made beside it.
std::optional<std::string> WriteInPlace(SystemServices& services, const std::string& path,
                                        const std::string& bytes) {
  OwnedFile file = services.CreateFileForWrite(path);
  if (!file) {
    return FailureText(services, path);
  }
  if (!services.WriteFileBytes(file.Get(), bytes) || !services.FlushFile(file.Get()) ||
      !file.Close()) {
    return FailureText(services, path);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteFileAtomically(SystemServices& services, const std::string& path,
                                               const std::string& bytes) {
  const std::optional<std::uint32_t> attributes = services.FileAttributes(path);
  // Windows refuses to replace or write a read-only file; Wine, run as root, does both.
  if (attributes && (*attributes & kFileAttributeReadOnly) != 0) {
    return services.AccessDeniedMessage();
  }
  // The process's own, so that two programs saving at once never write into one file.
  const std::string temporary = path + "." + std::to_string(services.ProcessId()) + ".tmp";
  std::optional<std::string> error;
  {
    OwnedFile file = services.CreateFileForWrite(temporary);
    if (!file) {
      // A locked-down folder may let the file be changed but nothing be made beside it.
      return WriteInPlace(services, path, bytes);
    }
    // The message is taken before the clean-up calls can overwrite it.
    if (!services.WriteFileBytes(file.Get(), bytes) || !services.FlushFile(file.Get()) ||
        !file.Close()) {
      error = FailureText(services, path);
    }
  }  // closed here when a step failed: the temporary file cannot be deleted while open
  // The new file takes the old one's attributes before it takes its name, marked as changed
  // since the last backup, as a write in place would be. Failing here loses nothing of the
  // settings.
  if (!error && attributes) {
    services.SetFileAttributes(temporary, *attributes | kFileAttributeArchive);
  }
  if (!error && !services.ReplaceFile(temporary, path)) {
    error = FailureText(services, path);
  }
  if (error) {
    services.DeleteFile(temporary);
    return error;
  }
  return std::nullopt;
}

}  // namespace qd
