#include "framework/file_util.h"

#include <array>
#include <utility>

namespace qd {

namespace {

std::string FailureText(SystemServices& services, const std::string& path) {
  std::string message = services.LastErrorMessage();
  return message.empty() ? "Cannot write " + path : message;
}

// Writes over the file itself, which a crash meanwhile may leave torn: only where nothing
// can be made beside it, or where a replace would split the file from its other names.
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

// The process's own names, so that two programs saving at once never write into one file:
// beside the target first; then short ones in its folder, for a target whose name the
// first one would push past the length limit, or a name a left-over file still holds.
std::array<std::string, 3> TemporaryNames(const std::string& target, std::uint32_t processId) {
  const std::string id = std::to_string(processId);
  const std::size_t separator = target.find_last_of("\\/");
  const std::string folder =
      separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
  return {target + "." + id + ".tmp", folder + "~" + id + ".tmp", folder + "~" + id + "-2.tmp"};
}

// The first temporary file that can be made, with its name; an empty owner where none can.
std::pair<OwnedFile, std::string> CreateTemporaryFile(SystemServices& services,
                                                      const std::string& target) {
  for (const std::string& name : TemporaryNames(target, services.ProcessId())) {
    if (OwnedFile file = services.CreateFileForWrite(name)) {
      return {std::move(file), name};
    }
  }
  return {};
}

}  // namespace

std::optional<std::string> WriteFileAtomically(SystemServices& services, const std::string& path,
                                               const std::string& bytes) {
  const std::optional<FileLinks> links = services.ResolveFileLinks(path);
  const bool resolved = links && !links->finalPath.empty();
  // A symbolic link stays one: the save goes to the file it leads to.
  const std::string target = resolved ? links->finalPath : path;
  const std::optional<std::uint32_t> attributes = services.FileAttributes(target);
  // Windows refuses to replace or write a read-only file; Wine, run as root, does both.
  if (attributes && (*attributes & kFileAttributeReadOnly) != 0) {
    return services.AccessDeniedMessage();
  }
  // A link that leads nowhere now (its stick unplugged, its share not mounted): a replace
  // would put a plain file in its place for good. Writing through it reaches the target
  // where the system lets it.
  if (links && !resolved && links->link) {
    if (std::optional<std::string> error = WriteInPlace(services, path, bytes)) {
      return "The file is a link whose target cannot be reached. " + *error;
    }
    return std::nullopt;
  }
  // A replace would leave the file's other names with the old content, or be refused by a
  // folder that lets the file be written but nothing be deleted.
  if ((links && links->names > 1) || (attributes && !services.MayReplace(target))) {
    return WriteInPlace(services, path, bytes);
  }
  auto [file, temporary] = CreateTemporaryFile(services, target);
  if (!file) {
    // A locked-down folder may let the file be changed but nothing be made beside it.
    return WriteInPlace(services, path, bytes);
  }
  std::optional<std::string> error;
  // The message is taken before the clean-up calls can overwrite it.
  if (!services.WriteFileBytes(file.Get(), bytes) || !services.FlushFile(file.Get()) ||
      !file.Close()) {
    error = FailureText(services, path);
    file.Close();  // the temporary file cannot be deleted while open
  }
  // The new file takes the old one's attributes before it takes its name, marked as changed
  // since the last backup, as a write in place would be. Failing here loses nothing of the
  // settings.
  if (!error && attributes) {
    services.SetFileAttributes(temporary, *attributes | kFileAttributeArchive);
  }
  if (!error && !services.ReplaceFile(temporary, target)) {
    error = FailureText(services, path);
  }
  if (error) {
    // Each save makes one of another name: one left behind must at least be told of.
    if (!services.DeleteFile(temporary)) {
      *error += ". The temporary file \"" + temporary + "\" is left behind";
    }
    return error;
  }
  return std::nullopt;
}

}  // namespace qd
