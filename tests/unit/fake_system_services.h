// System services for the unit tests: log every call in order and answer from a script
// that the test sets up. Constructed with a fake window system's log, they log into it,
// so that one log shows the order of calls across both.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/system_services.h"

namespace qd::test {

class FakeSystemServices final : public SystemServices {
 private:
  std::vector<std::string> ownLog_;

 public:
  FakeSystemServices() = default;
  explicit FakeSystemServices(std::vector<std::string>& sharedLog) : log(sharedLog) {}

  // --- what the test scripts ---
  std::string moduleFileName = "C:\\Tools\\Quiverdart.exe";
  std::vector<std::string> commandLine;
  std::string localeText = "0409";
  bool waitableCreateFails = false;
  bool waitableSetFails = false;
  bool waitableWaitFails = false;
  bool waitableCancelFails = false;
  // The millisecond clock: it stands still but for what the test adds and the waits on an
  // armed timer, which move it by the whole milliseconds armed.
  std::uint32_t tickCount = 0;
  std::map<std::string, RegistryRead> registry;  // key "|" value
  std::map<std::string, std::string> environment;
  std::map<std::string, std::string> files;  // path -> bytes
  std::set<std::string> directories;
  std::set<std::string> unreadableFiles;
  std::set<std::string> unwritableFolders;  // ForceDirectories and file creation fail below
  // Folders where the files there may be written but no new one made.
  std::set<std::string> closedFolders;
  // FILE_ATTRIBUTE_* bits of files, 0 when not listed. The replace, like Wine's, gives the
  // new file the attributes of the one renamed over it.
  std::map<std::string, std::uint32_t> fileAttributes;
  // What ResolveFileLinks tells of a file; not listed: as symbolicLinks say, else its own
  // path and one name.
  std::map<std::string, FileLinks> links;
  // Symbolic links: the link's path and where it leads. Reads and writes go through; a
  // replace or delete takes the link itself.
  std::map<std::string, std::string> symbolicLinks;
  // Files, or the files of folders, that may be written but not deleted or renamed over.
  std::set<std::string> undeletable;
  // Longer paths cannot be created, as beyond Windows' MAX_PATH, but for the "\\?\" form.
  std::size_t maxPathLength = 259;
  std::uint32_t processId = 4242;
  // Names another program has claimed (ClaimInstance); a claim of this one adds its own.
  std::set<std::string> claimedNames;
  // Runs once, inside the next WriteFileBytes: another program at work meanwhile.
  std::function<void()> onWriteFileBytes;
  // Fail the n-th (1-based) and every later call of a file-writing step: "create",
  // "write", "flush", "close", "replace".
  std::map<std::string, int> failFileStepAt;

  // --- what the test observes ---
  std::vector<std::string>& log = ownLog_;

  // Log entries that start with the prefix, in order.
  std::vector<std::string> Calls(const std::string& prefix) const;
  void ClearLog() { log.clear(); }

  // --- SystemServices ---
  std::string ModuleFileName() override { return moduleFileName; }
  std::uint32_t ProcessId() override { return processId; }
  std::vector<std::string> CommandLineParams() override { return commandLine; }
  std::string LocaleLanguageText() override { return localeText; }
  bool SameText(const std::string& a, const std::string& b) override;
  bool ClaimInstance(const std::string& name) override {
    log.push_back("ClaimInstance " + name);
    return claimedNames.insert(name).second;
  }
  std::uint32_t TickCount() override { return tickCount; }
  OwnedWaitableTimer CreateWaitableTimer() override;
  bool SetWaitableTimer(NativeWaitableTimer timer, std::int64_t dueTime100ns) override;
  bool WaitForTimer(NativeWaitableTimer timer, std::uint32_t timeoutMs) override;
  bool CancelWaitableTimer(NativeWaitableTimer timer) override;
  RegistryRead ReadUserRegistryText(const std::string& key, const std::string& value) override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void ForceDirectories(const std::string& path) override;
  bool CopyFileFailIfExists(const std::string& from, const std::string& to) override;
  FileRead ReadWholeFile(const std::string& path) override;
  OwnedFile CreateFileForWrite(const std::string& path) override;
  bool WriteFileBytes(NativeFile file, const std::string& bytes) override;
  bool FlushFile(NativeFile file) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool DeleteFile(const std::string& path) override;
  bool MayReplace(const std::string& path) override;
  std::optional<FileLinks> ResolveFileLinks(const std::string& path) override;
  std::optional<std::uint32_t> FileAttributes(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, std::uint32_t attributes) override;
  std::string LastErrorMessage() override { return lastError_; }
  std::string AccessDeniedMessage() override { return "Access denied"; }

  // Files being written: path and the bytes written so far (visible on disk only when
  // closed, as a flushed and closed file would be).
  struct OpenFile {
    std::string path;
    std::string bytes;
    bool open = true;
  };
  std::map<NativeFile, OpenFile> openFiles;

 private:
  bool CloseFile(NativeFile file) override;
  bool CloseWaitableTimer(NativeWaitableTimer timer) override;
  bool FailStep(const std::string& step);
  bool BelowUnwritable(const std::string& path) const;
  bool Undeletable(const std::string& path) const;
  std::string Follow(const std::string& path) const;

  std::map<std::string, int> fileStepCalls_;
  std::string lastError_;
  std::uintptr_t nextFile_ = 1;
  std::int64_t armedMs_ = 0;
};

}  // namespace qd::test
