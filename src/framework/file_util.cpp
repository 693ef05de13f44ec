#include "framework/file_util.h"

namespace qd {

namespace {

std::string FailureText(SystemServices& services, const std::string& path) {
  std::string message = services.LastErrorMessage();
  return message.empty() ? "Cannot write " + path : message;
}

}  // namespace

std::optional<std::string> WriteFileAtomically(SystemServices& services, const std::string& path,
                                               const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  std::optional<std::string> error;
  {
    OwnedFile file = services.CreateFileForWrite(temporary);
    if (!file) {
      return FailureText(services, path);
    }
    // The message is taken before the clean-up calls can overwrite it.
    if (!services.WriteFileBytes(file.Get(), bytes) || !services.FlushFile(file.Get()) ||
        !file.Close()) {
      error = FailureText(services, path);
    }
  }  // closed here when a step failed: the temporary file cannot be deleted while open
  if (!error && !services.ReplaceFile(temporary, path)) {
    error = FailureText(services, path);
  }
  if (error) {
    services.DeleteFile(temporary);
  }
  return error;
}

}  // namespace qd
