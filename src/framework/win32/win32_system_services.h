// The Windows implementation of the system services: the process, the user's locale,
// registry and environment, files through the wide-character calls, and waitable timers.
#pragma once

#include "framework/system_services.h"
#include "framework/win32/win32.h"

namespace qd::win32 {

class Win32SystemServices final : public SystemServices {
 public:
  Win32SystemServices() = default;
  Win32SystemServices(const Win32SystemServices&) = delete;
  Win32SystemServices& operator=(const Win32SystemServices&) = delete;
  ~Win32SystemServices() override;
  std::string ModuleFileName() override;
  std::uint32_t ProcessId() override;
  std::vector<std::string> CommandLineParams() override;
  std::string LocaleLanguageText() override;
  bool SameText(const std::string& a, const std::string& b) override;
  bool ClaimInstance(const std::string& name) override;

  std::uint32_t TickCount() override;
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
  std::string LastErrorMessage() override;
  std::string AccessDeniedMessage() override;

 private:
  bool CloseFile(NativeFile file) override;
  bool CloseWaitableTimer(NativeWaitableTimer timer) override;

  HANDLE instanceClaim_ = nullptr;  // the mutex that holds the claimed name
};

}  // namespace qd::win32
