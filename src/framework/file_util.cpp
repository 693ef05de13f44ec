#include "framework/file_util.h"

namespace qd {

namespace {

std::string FailureText(WindowSystem& ws, const std::string& path) {
  std::string message = ws.LastErrorMessage();
  return message.empty() ? "Cannot write " + path : message;
}

}  // namespace

std::optional<std::string> WriteFileAtomically(WindowSystem& ws, const std::string& path,
                                               const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  const NativeFile file = ws.CreateFileForWrite(temporary);
  if (file == 0) {
    return FailureText(ws, path);
  }
  if (!ws.WriteFileBytes(file, bytes) || !ws.FlushFile(file)) {
    // Taken before the clean-up calls can overwrite it.
    std::string error = FailureText(ws, path);
    ws.CloseFile(file);
    ws.DeleteFile(temporary);
    return error;
  }
  if (!ws.CloseFile(file) || !ws.ReplaceFile(temporary, path)) {
    std::string error = FailureText(ws, path);
    ws.DeleteFile(temporary);
    return error;
  }
  return std::nullopt;
}

}  // namespace qd
