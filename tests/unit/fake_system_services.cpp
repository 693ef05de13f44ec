#include "fake_system_services.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace qd::test {

namespace {

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> FakeSystemServices::Calls(const std::string& prefix) const {
  std::vector<std::string> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [&](const std::string& line) { return line.starts_with(prefix); });
  return out;
}

OwnedWaitableTimer FakeSystemServices::CreateWaitableTimer() {
  log.push_back("CreateWaitableTimer");
  if (waitableCreateFails) {
    return {};
  }
  return {*this, NativeWaitableTimer{0x200}};
}

bool FakeSystemServices::SetWaitableTimer(NativeWaitableTimer /*timer*/,
                                          std::int64_t dueTime100ns) {
  log.push_back("SetWaitableTimer " + std::to_string(dueTime100ns));
  armedMs_ = dueTime100ns / 10000;
  return !waitableSetFails;
}

bool FakeSystemServices::WaitForTimer(NativeWaitableTimer /*timer*/, std::uint32_t timeoutMs) {
  log.push_back("WaitForTimer " + std::to_string(timeoutMs));
  if (waitableWaitFails) {
    return false;
  }
  tickCount += static_cast<std::uint32_t>(armedMs_);
  return true;
}

bool FakeSystemServices::CancelWaitableTimer(NativeWaitableTimer /*timer*/) {
  log.push_back("CancelWaitableTimer");
  return !waitableCancelFails;
}

bool FakeSystemServices::CloseWaitableTimer(NativeWaitableTimer /*timer*/) {
  log.push_back("CloseWaitableTimer");
  return true;
}

RegistryRead FakeSystemServices::ReadUserRegistryText(const std::string& key,
                                                      const std::string& value) {
  log.push_back("ReadUserRegistryText " + key + " " + value);
  const auto it = registry.find(key + "|" + value);
  return it == registry.end() ? RegistryRead{} : it->second;
}

std::optional<std::string> FakeSystemServices::GetEnvironmentVariable(const std::string& name) {
  log.push_back("GetEnvironmentVariable " + name);
  const auto it = environment.find(name);
  if (it == environment.end()) {
    return std::nullopt;
  }
  return it->second;
}

bool FakeSystemServices::DirectoryExists(const std::string& path) {
  return directories.contains(path);
}

bool FakeSystemServices::FileExists(const std::string& path) {
  return files.contains(Follow(path));
}

std::string FakeSystemServices::Follow(const std::string& path) const {
  const auto it = symbolicLinks.find(path);
  return it == symbolicLinks.end() ? path : it->second;
}

bool FakeSystemServices::Undeletable(const std::string& path) const {
  return undeletable.contains(path) || undeletable.contains(ParentOf(path));
}

bool FakeSystemServices::BelowUnwritable(const std::string& path) const {
  return std::any_of(unwritableFolders.begin(), unwritableFolders.end(),
                     [&](const std::string& folder) { return path.starts_with(folder); });
}

void FakeSystemServices::ForceDirectories(const std::string& path) {
  log.push_back("ForceDirectories " + path);
  for (std::string p = path; !p.empty() && !p.ends_with(':'); p = ParentOf(p)) {
    if (BelowUnwritable(p)) {
      return;
    }
  }
  for (std::string p = path; !p.empty() && !p.ends_with(':'); p = ParentOf(p)) {
    directories.insert(p);
  }
}

bool FakeSystemServices::CopyFileFailIfExists(const std::string& from, const std::string& to) {
  log.push_back("CopyFile " + from + " " + to);
  if (!files.contains(from) || files.contains(to) || BelowUnwritable(to)) {
    return false;
  }
  files[to] = files[from];
  return true;
}

bool FakeSystemServices::SameText(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

FileRead FakeSystemServices::ReadWholeFile(const std::string& path) {
  log.push_back("ReadWholeFile " + path);
  if (unreadableFiles.contains(path)) {
    return {FileStatus::Error, {}, "Access denied"};
  }
  const auto it = files.find(Follow(path));
  if (it == files.end()) {
    return {FileStatus::NotFound, {}, {}};
  }
  if (it->second.size() > kMaxWholeFileBytes) {
    return {FileStatus::Error, {}, kFileTooLargeMessage};
  }
  return {FileStatus::Ok, it->second, {}};
}

bool FakeSystemServices::FailStep(const std::string& step) {
  const int call = ++fileStepCalls_[step];
  const auto it = failFileStepAt.find(step);
  if (it != failFileStepAt.end() && call >= it->second) {
    lastError_ = "Injected failure at " + step;
    return true;
  }
  return false;
}

OwnedFile FakeSystemServices::CreateFileForWrite(const std::string& name) {
  log.push_back("CreateFileForWrite " + name);
  const std::string path = Follow(name);
  if (FailStep("create")) {
    return {};
  }
  const bool open = std::any_of(openFiles.begin(), openFiles.end(), [&](const auto& entry) {
    return entry.second.open && entry.second.path == path;
  });
  if (open) {
    lastError_ = "Sharing violation";
    return {};
  }
  if (path.size() > maxPathLength && !path.starts_with("\\\\?\\")) {
    lastError_ = "The filename or extension is too long";
    return {};
  }
  const std::string folder = ParentOf(path);
  if (BelowUnwritable(path) || !directories.contains(folder) ||
      (closedFolders.contains(folder) && !files.contains(path))) {
    lastError_ = "Cannot create " + path;
    return {};
  }
  const NativeFile file{nextFile_++};
  openFiles[file] = {path, {}, true};
  files[path].clear();
  return {*this, file};
}

bool FakeSystemServices::WriteFileBytes(NativeFile file, const std::string& bytes) {
  log.push_back("WriteFileBytes " + std::to_string(bytes.size()));
  if (onWriteFileBytes) {
    std::exchange(onWriteFileBytes, nullptr)();
  }
  if (FailStep("write")) {
    // A failing write may leave part of the data behind.
    openFiles[file].bytes += bytes.substr(0, bytes.size() / 2);
    files[openFiles[file].path] = openFiles[file].bytes;
    return false;
  }
  openFiles[file].bytes += bytes;
  files[openFiles[file].path] = openFiles[file].bytes;
  return true;
}

bool FakeSystemServices::FlushFile(NativeFile /*file*/) {
  log.push_back("FlushFile");
  return !FailStep("flush");
}

bool FakeSystemServices::CloseFile(NativeFile file) {
  log.push_back("CloseFile");
  openFiles[file].open = false;
  return !FailStep("close");
}

bool FakeSystemServices::ReplaceFile(const std::string& from, const std::string& to) {
  log.push_back("ReplaceFile " + from + " " + to);
  if (FailStep("replace") || !files.contains(from)) {
    return false;
  }
  if (Undeletable(from) || (files.contains(to) && Undeletable(to))) {
    lastError_ = "Access denied";
    return false;
  }
  symbolicLinks.erase(to);
  files[to] = files[from];
  files.erase(from);
  fileAttributes.erase(to);
  if (const auto it = fileAttributes.find(from); it != fileAttributes.end()) {
    fileAttributes[to] = it->second;
    fileAttributes.erase(it);
  }
  return true;
}

bool FakeSystemServices::DeleteFile(const std::string& path) {
  log.push_back("DeleteFile " + path);
  // Windows refuses to delete a file that is open.
  const bool open = std::any_of(openFiles.begin(), openFiles.end(), [&](const auto& entry) {
    return entry.second.open && entry.second.path == path;
  });
  if (open || Undeletable(path)) {
    return false;
  }
  symbolicLinks.erase(path);
  fileAttributes.erase(path);
  return files.erase(path) != 0;
}

bool FakeSystemServices::MayReplace(const std::string& path) { return !Undeletable(path); }

std::optional<FileLinks> FakeSystemServices::ResolveFileLinks(const std::string& path) {
  if (const auto it = links.find(path); it != links.end()) {
    return it->second;
  }
  if (const auto it = symbolicLinks.find(path); it != symbolicLinks.end()) {
    return FileLinks{files.contains(it->second) ? it->second : std::string(), 1, true};
  }
  if (!files.contains(path)) {
    return std::nullopt;
  }
  return FileLinks{path, 1, false};
}

std::optional<std::uint32_t> FakeSystemServices::FileAttributes(const std::string& path) {
  if (!files.contains(path)) {
    return std::nullopt;
  }
  const auto it = fileAttributes.find(path);
  return it == fileAttributes.end() ? 0U : it->second;
}

bool FakeSystemServices::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  log.push_back("SetFileAttributes " + path + " " + std::to_string(attributes));
  if (!files.contains(path)) {
    return false;
  }
  fileAttributes[path] = attributes;
  return true;
}

}  // namespace qd::test
