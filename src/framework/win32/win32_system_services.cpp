#include "framework/win32/win32_system_services.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "framework/win32/handles.h"
#include "framework/win32/text.h"

namespace qd::win32 {

namespace {

// FormatMessage text of an error code, without the trailing line break and full stop.
std::string SystemErrorMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length != 0 && buffer != nullptr
                         ? WideToUtf8(std::wstring_view(buffer, length))
                         : std::string();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) text = "System error " + std::to_string(error);
  return text;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Walks up to the deepest folder that exists, then creates the missing ones top down: a
// loop, not a recursion, so that a path of many folders cannot exhaust the stack.
void ForceDirectoriesWide(std::wstring path) {
  std::vector<std::wstring> missing;
  while (true) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty() || IsDirectory(path)) break;
    missing.push_back(path);
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) break;
    path.resize(separator);
  }
  while (!missing.empty()) {
    ::CreateDirectoryW(missing.back().c_str(), nullptr);
    missing.pop_back();
  }
}

}  // namespace

std::string Win32SystemServices::ModuleFileName() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return WideToUtf8(buffer);
    }
    buffer.resize(buffer.size() * 2);  // truncated: the path is longer than the buffer
  }
}

std::uint32_t Win32SystemServices::ProcessId() { return ::GetCurrentProcessId(); }

Win32SystemServices::~Win32SystemServices() {
  if (instanceClaim_ != nullptr && ::CloseHandle(instanceClaim_) != 0) --LiveObjects().kernel;
}

bool Win32SystemServices::ClaimInstance(const std::string& name) {
  // A named mutex: made and found in one step, so that of two starts at once exactly one
  // makes it. Local\: per user session.
  const std::wstring mutexName = L"Local\\" + InstanceTag(name);
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
  const DWORD error = ::GetLastError();
  if (mutex == nullptr) {
    // Made by a program of other rights: held all the same. Any other failure cannot tell,
    // and a start goes ahead rather than show nothing.
    return error != ERROR_ACCESS_DENIED;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return false;
  }
  if (instanceClaim_ != nullptr && ::CloseHandle(instanceClaim_) != 0) --LiveObjects().kernel;
  instanceClaim_ = mutex;
  ++LiveObjects().kernel;
  return true;
}

std::vector<std::string> Win32SystemServices::CommandLineParams() {
  std::vector<std::wstring> args = SplitCommandLine(::GetCommandLineW());
  std::vector<std::string> params;
  for (size_t i = 1; i < args.size(); ++i) params.push_back(WideToUtf8(args[i]));
  return params;
}

std::string Win32SystemServices::LocaleLanguageText() {
  char buffer[9] = {};
  if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ILANGUAGE, buffer, sizeof buffer) == 0) {
    return {};
  }
  return buffer;
}

std::uint32_t Win32SystemServices::TickCount() {
  // The performance counter rather than GetTickCount, which moves in steps of 10-16 ms on
  // Windows 7: a fade step measured by it would be off by a whole tick now and then. Both
  // calls succeed on every Windows since XP.
  LARGE_INTEGER count{};
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&count);
  const std::int64_t whole = count.QuadPart / frequency.QuadPart;
  const std::int64_t part = count.QuadPart % frequency.QuadPart;
  return static_cast<std::uint32_t>(whole * 1000 + part * 1000 / frequency.QuadPart);
}

OwnedWaitableTimer Win32SystemServices::CreateWaitableTimer() {
  HANDLE timer = ::CreateWaitableTimerA(nullptr, FALSE, nullptr);
  if (timer == nullptr) return {};
  ++LiveObjects().kernel;
  return {*this, ToNative<NativeWaitableTimer>(timer)};
}

bool Win32SystemServices::SetWaitableTimer(NativeWaitableTimer timer, std::int64_t dueTime100ns) {
  LARGE_INTEGER due{};
  due.QuadPart = -dueTime100ns;  // negative: relative to now
  return ::SetWaitableTimer(ToWin32<HANDLE>(timer), &due, 0, nullptr, nullptr, FALSE) != 0;
}

bool Win32SystemServices::WaitForTimer(NativeWaitableTimer timer, std::uint32_t timeoutMs) {
  return ::WaitForSingleObject(ToWin32<HANDLE>(timer), timeoutMs) == WAIT_OBJECT_0;
}

bool Win32SystemServices::CancelWaitableTimer(NativeWaitableTimer timer) {
  return ::CancelWaitableTimer(ToWin32<HANDLE>(timer)) != 0;
}

bool Win32SystemServices::CloseWaitableTimer(NativeWaitableTimer timer) {
  if (::CloseHandle(ToWin32<HANDLE>(timer)) == 0) return false;
  --LiveObjects().kernel;
  return true;
}

RegistryRead Win32SystemServices::ReadUserRegistryText(const std::string& key,
                                                       const std::string& value) {
  std::wstring keyPath = Utf8ToWide(key);
  if (!keyPath.empty() && keyPath.front() == L'\\') keyPath.erase(0, 1);  // from the root key
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return {RegistryStatus::NoKey, {}};
  }
  const RegKey handle(opened);
  const std::wstring valueName = Utf8ToWide(value);
  DWORD type = 0;
  DWORD size = 0;
  std::vector<BYTE> data;
  LONG result = ERROR_MORE_DATA;
  // The value may grow between the size query and the read; ask again until it fits.
  while (result == ERROR_MORE_DATA) {
    data.resize(size + sizeof(wchar_t));
    size = static_cast<DWORD>(data.size());
    result =
        ::RegQueryValueExW(handle.Get(), valueName.c_str(), nullptr, &type, data.data(), &size);
  }
  if (result != ERROR_SUCCESS) return {RegistryStatus::NoValue, {}};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {RegistryStatus::NotText, {}};
  std::wstring text(size / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  // Stored strings usually, but not always, end in a null.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return {type == REG_EXPAND_SZ ? RegistryStatus::ExpandableText : RegistryStatus::Text,
          WideToUtf8(text)};
}

std::optional<std::string> Win32SystemServices::GetEnvironmentVariable(const std::string& name) {
  const std::wstring wideName = Utf8ToWide(name);
  std::wstring buffer(64, L'\0');
  while (true) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), buffer.data(),
                                                   static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return WideToUtf8(buffer);
    }
    buffer.resize(length);  // too small: length is the size needed
  }
}

bool Win32SystemServices::DirectoryExists(const std::string& path) {
  return IsDirectory(Utf8ToWide(path));
}

bool Win32SystemServices::FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void Win32SystemServices::ForceDirectories(const std::string& path) {
  ForceDirectoriesWide(Utf8ToWide(path));
}

bool Win32SystemServices::CopyFileFailIfExists(const std::string& from, const std::string& to) {
  return ::CopyFileW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), TRUE) != 0;
}

bool Win32SystemServices::SameText(const std::string& a, const std::string& b) {
  const std::wstring wa = Utf8ToWide(a);
  const std::wstring wb = Utf8ToWide(b);
  if (wa.size() > INT_MAX || wb.size() > INT_MAX) return false;
  return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(),
                          static_cast<int>(wa.size()), wb.data(),
                          static_cast<int>(wb.size())) == CSTR_EQUAL;
}

FileRead Win32SystemServices::ReadWholeFile(const std::string& path) {
  // Sharing deletion too: a read must not keep another program (a second arrow saving at
  // the same moment) from replacing the file.
  const FileHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return {FileStatus::NotFound, {}, {}};
    }
    return {FileStatus::Error, {}, SystemErrorMessage(error)};
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.Get(), &size) != 0 &&
      static_cast<std::uint64_t>(size.QuadPart) > kMaxWholeFileBytes) {
    return {FileStatus::Error, {}, kFileTooLargeMessage};
  }
  std::string bytes;
  char chunk[16384];
  while (true) {
    DWORD read = 0;
    if (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) == 0) {
      return {FileStatus::Error, {}, SystemErrorMessage(::GetLastError())};
    }
    if (read == 0) break;
    bytes.append(chunk, read);
    // Grown while being read.
    if (bytes.size() > kMaxWholeFileBytes) return {FileStatus::Error, {}, kFileTooLargeMessage};
  }
  return {FileStatus::Ok, std::move(bytes), {}};
}

OwnedFile Win32SystemServices::CreateFileForWrite(const std::string& path) {
  // Not CREATE_ALWAYS, which Windows refuses for a hidden file unless told its attributes.
  HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  ++LiveObjects().kernel;
  OwnedFile owned(*this, ToNative<NativeFile>(file));
  if (::SetEndOfFile(file) == 0) {
    const DWORD error = ::GetLastError();
    owned.Close();
    ::SetLastError(error);
    return {};
  }
  return owned;
}

bool Win32SystemServices::WriteFileBytes(NativeFile file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1U << 20U));
    DWORD written = 0;
    if (::WriteFile(ToWin32<HANDLE>(file), bytes.data() + done, part, &written, nullptr) == 0) {
      return false;
    }
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

bool Win32SystemServices::FlushFile(NativeFile file) {
  return ::FlushFileBuffers(ToWin32<HANDLE>(file)) != 0;
}

bool Win32SystemServices::CloseFile(NativeFile file) {
  if (::CloseHandle(ToWin32<HANDLE>(file)) == 0) return false;
  --LiveObjects().kernel;
  return true;
}

namespace {

// Gives `to` the permissions of `from` where the system lets us read and set them; where
// not, `to` keeps those it took from its folder, as any new file would.
void CopyPermissions(const std::wstring& from, const std::wstring& to) {
  DWORD needed = 0;
  ::GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return;
  std::vector<unsigned char> descriptor(needed);
  if (::GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed,
                         &needed) != 0) {
    ::SetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
  }
}

// Whether a replace refused with ERROR_ACCESS_DENIED met a file another program holds for a
// moment (worth another try) rather than a denial that stays. The error is kept for the
// message.
bool HeldByAnother(const std::wstring& target) {
  const DWORD error = ::GetLastError();
  const FileHandle probe(::CreateFileW(target.c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  // Opened: whoever held it has let go, or holds it sharing deletion; refused for sharing:
  // held. Anything else (no right to replace it, a folder of that name) will not pass.
  const bool held = probe.Valid() || ::GetLastError() == ERROR_SHARING_VIOLATION;
  ::SetLastError(error);
  return held;
}

}  // namespace

bool Win32SystemServices::ReplaceFile(const std::string& from, const std::string& to) {
  const std::wstring source = Utf8ToWide(from);
  const std::wstring target = Utf8ToWide(to);
  // One rename, so that the name always holds a whole file: ReplaceFileW would keep the
  // permissions itself, but Wine's moves the old file aside first, leaving no file at all
  // for a moment. The permissions are carried over by hand instead.
  CopyPermissions(target, source);
  // Another program may hold the file for a moment (a second arrow replacing it, a virus
  // scanner reading it): a few tries over a fifth of a second.
  constexpr int kTries = 10;
  constexpr DWORD kPauseMs = 20;
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
      return true;
    }
    const DWORD error = ::GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && HeldByAnother(target));
    if (attempt == kTries || !busy) {
      return false;
    }
    ::Sleep(kPauseMs);
  }
}

bool Win32SystemServices::DeleteFile(const std::string& path) {
  return ::DeleteFileW(Utf8ToWide(path).c_str()) != 0;
}

bool Win32SystemServices::MayReplace(const std::string& path) {
  // Asking for the right to delete is what a rename over the file needs: granted by the
  // file itself or by its folder. A sharing conflict is someone else's, for a moment.
  const FileHandle probe(::CreateFileW(Utf8ToWide(path).c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return probe.Valid() || ::GetLastError() != ERROR_ACCESS_DENIED;
}

std::optional<FileLinks> Win32SystemServices::ResolveFileLinks(const std::string& path) {
  const std::wstring name = Utf8ToWide(path);
  // The name's own attributes: a symbolic link's, not its target's, so that a link whose
  // target is missing is still known as one.
  const DWORD own = ::GetFileAttributesW(name.c_str());
  if (own == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  FileLinks links{{}, 1, (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
  // Opening follows every symbolic link on the way. No access is asked for, so that a file
  // another program holds can be looked at too.
  const FileHandle file(::CreateFileW(name.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!file.Valid() || ::GetFileInformationByHandle(file.Get(), &information) == 0) {
    return links;
  }
  // Known even where the path cannot be told (a volume without a drive letter, some
  // network redirectors).
  links.names = information.nNumberOfLinks;
  std::wstring finalPath(MAX_PATH, L'\0');
  DWORD length = 0;
  // The answer is the size needed while the buffer is too small.
  while ((length = ::GetFinalPathNameByHandleW(
              file.Get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) >= finalPath.size()) {
    finalPath.resize(length);
  }
  if (length == 0) return links;
  // Kept in its "\\?\" form, which every call the save makes with it takes: the short form
  // fails past MAX_PATH and drops a trailing dot or blank from a name.
  finalPath.resize(length);
  links.finalPath = WideToUtf8(finalPath);
  return links;
}

std::optional<std::uint32_t> Win32SystemServices::FileAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

bool Win32SystemServices::SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  // The ones SetFileAttributesW sets; the others describe the file, not a choice.
  constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return ::SetFileAttributesW(Utf8ToWide(path).c_str(), attributes & kSettable) != 0;
}

std::string Win32SystemServices::LastErrorMessage() { return SystemErrorMessage(::GetLastError()); }

std::string Win32SystemServices::AccessDeniedMessage() {
  return SystemErrorMessage(ERROR_ACCESS_DENIED);
}

}  // namespace qd::win32
