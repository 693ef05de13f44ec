// The system services: files, registry, environment, locale, the process's own name and
// command line, and the waitable timer of the blocking delay. The Win32 backend implements
// them for the real program; the unit tests implement a recording fake. Nothing above this
// interface includes <windows.h>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/native_handles.h"

namespace qd {

// ExpandableText: text naming environment variables (%NAME%), not yet expanded.
enum class RegistryStatus : std::uint8_t { NoKey, NoValue, Text, NotText, ExpandableText };
struct RegistryRead {
  RegistryStatus status = RegistryStatus::NoKey;
  std::string text;  // UTF-8
};

enum class FileStatus : std::uint8_t { Ok, NotFound, Error };
// File attributes (FILE_ATTRIBUTE_*) that the save looks at.
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;

inline constexpr std::uint64_t kMaxWholeFileBytes = 1U << 20U;
inline constexpr const char* kFileTooLargeMessage = "The file is larger than 1 MB.";
struct FileRead {
  FileStatus status = FileStatus::NotFound;
  std::string bytes;
  std::string error;  // system message when status is Error
};

// Where a file's content lives: the path behind every symbolic link on the way to it, in
// the long form ("\\?\C:\...") where the system gives that, so that it may pass MAX_PATH and
// end in a dot or a blank; and how many names (hard links) that content has.
struct FileLinks {
  std::string finalPath;  // empty where the system cannot tell
  std::uint32_t names = 1;
  bool link = false;  // the name itself leads elsewhere (a symbolic link)
};

class SystemServices;

// A file open for writing, closed when the owner goes.
struct FileTraits {
  using Handle = NativeFile;
  using Source = SystemServices;
  static bool Free(SystemServices& services, NativeFile file);
};
using OwnedFile = Owned<FileTraits>;

// A waitable timer, closed when the owner goes.
struct WaitableTimerTraits {
  using Handle = NativeWaitableTimer;
  using Source = SystemServices;
  static bool Free(SystemServices& services, NativeWaitableTimer timer);
};
using OwnedWaitableTimer = Owned<WaitableTimerTraits>;

class SystemServices {
 public:
  SystemServices() = default;
  SystemServices(const SystemServices&) = delete;
  SystemServices& operator=(const SystemServices&) = delete;
  SystemServices(SystemServices&&) = delete;
  SystemServices& operator=(SystemServices&&) = delete;
  virtual ~SystemServices() = default;

  // Process and locale.
  virtual std::string ModuleFileName() = 0;                  // UTF-8
  virtual std::vector<std::string> CommandLineParams() = 0;  // parameters 1..n
  virtual std::string LocaleLanguageText() = 0;  // LOCALE_ILANGUAGE of the user default locale
  virtual std::uint32_t ProcessId() = 0;
  // Case-insensitive comparison in the user's default locale.
  virtual bool SameText(const std::string& a, const std::string& b) = 0;
  // Claims a name (a file's path, its letters' case aside) for this process within the
  // user's session, until the process ends: false when another process holds it.
  virtual bool ClaimInstance(const std::string& name) = 0;

  // A millisecond clock from an arbitrary start, wrapping at 2^32: differences of two
  // readings (taken unsigned) are the time between them, exact to the millisecond.
  virtual std::uint32_t TickCount() = 0;

  // Waitable timers, for the blocking delay.
  virtual OwnedWaitableTimer CreateWaitableTimer() = 0;  // empty on failure
  virtual bool SetWaitableTimer(NativeWaitableTimer timer, std::int64_t dueTime100ns) = 0;
  // True if signalled.
  virtual bool WaitForTimer(NativeWaitableTimer timer, std::uint32_t timeoutMs) = 0;
  virtual bool CancelWaitableTimer(NativeWaitableTimer timer) = 0;

  // Registry (HKEY_CURRENT_USER, query only) and environment.
  virtual RegistryRead ReadUserRegistryText(const std::string& key, const std::string& value) = 0;
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;

  // Files. Paths are UTF-8; the backend uses the wide-character calls.
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;  // a file, not a folder
  virtual void ForceDirectories(const std::string& path) = 0;
  virtual bool CopyFileFailIfExists(const std::string& from, const std::string& to) = 0;
  // A file larger than kMaxWholeFileBytes is not read at all: status Error. The settings
  // file is a few hundred bytes; a huge one would only exhaust a 32-bit address space.
  virtual FileRead ReadWholeFile(const std::string& path) = 0;
  // Writing is split into its steps so that the atomic replace above it can be tested
  // step by step. Each returns false (CreateFileForWrite: an empty owner, OwnedFile::Close:
  // false) on failure, with LastErrorMessage() telling why.
  // Opens the file for writing from its start: made if missing, emptied if not; a file that
  // exists keeps its attributes.
  virtual OwnedFile CreateFileForWrite(const std::string& path) = 0;
  virtual bool WriteFileBytes(NativeFile file, const std::string& bytes) = 0;
  virtual bool FlushFile(NativeFile file) = 0;
  // Renames `from` over `to` in one step, `from` taking the permissions of the file replaced
  // where the system lets it; `from` keeps its own attributes.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // False where this program may not remove or rename the file (a folder that lets files
  // be written but not deleted); true where it may, or where the system cannot tell.
  virtual bool MayReplace(const std::string& path) = 0;
  // Nothing for a missing file that is no link either.
  virtual std::optional<FileLinks> ResolveFileLinks(const std::string& path) = 0;
  // FILE_ATTRIBUTE_* bits; nothing for a missing file.
  virtual std::optional<std::uint32_t> FileAttributes(const std::string& path) = 0;
  virtual bool SetFileAttributes(const std::string& path, std::uint32_t attributes) = 0;
  virtual std::string LastErrorMessage() = 0;
  // The system's message for a file that may not be written.
  virtual std::string AccessDeniedMessage() = 0;

 private:
  friend struct FileTraits;
  friend struct WaitableTimerTraits;
  // Only the owners close.
  virtual bool CloseFile(NativeFile file) = 0;
  virtual bool CloseWaitableTimer(NativeWaitableTimer timer) = 0;
};

inline bool FileTraits::Free(SystemServices& services, NativeFile file) {
  return services.CloseFile(file);
}

inline bool WaitableTimerTraits::Free(SystemServices& services, NativeWaitableTimer timer) {
  return services.CloseWaitableTimer(timer);
}

}  // namespace qd
