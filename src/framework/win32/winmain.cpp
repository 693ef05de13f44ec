// Program entry: the Windows backend runs the portable program.
#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "app/program.h"
#include "framework/win32/win32_system_services.h"
#include "framework/win32/win32_window_system.h"

#if defined(__GLIBCXX__)
// libstdc++'s default handler for an uncaught exception writes the exception's demangled
// type to stderr, which a windowed program does not have, and links in the demangler and
// printf for it: about a fifth of the exe. This one ends the program as that one does.
// NOLINTBEGIN(bugprone-reserved-identifier)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
int __snprintf_lite(char* buffer, std::size_t size, const char* format, std::va_list args);
}  // namespace __gnu_cxx

// libstdc++'s throwers of the containers' and strings' errors are one object, which links
// every standard exception class, each holding a reference-counted string of the old string
// type with all of that type's members: about 80 KB of the exe. These throw the same
// allocation errors, and for an error with a text an exception that says the same text,
// caught as any std::exception is. Should the program come to need a thrower missing here,
// the library's object comes back and its second definitions of these stop the link.
namespace {
class LibraryError final : public std::exception {
 public:
  explicit LibraryError(const char* text) noexcept {
    std::strncpy(text_.data(), text, text_.size() - 1);
  }
  [[nodiscard]] const char* what() const noexcept override { return text_.data(); }

 private:
  std::array<char, 256> text_{};
};
}  // namespace

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char* text) { throw LibraryError(text); }
void __throw_logic_error(const char* text) { throw LibraryError(text); }
void __throw_out_of_range_fmt(const char* format, ...) {
  std::array<char, 256> text{};
  // The library calls it with C variadic arguments, and va_start sets them.
  std::va_list args;  // NOLINT(cppcoreguidelines-pro-type-vararg,cppcoreguidelines-init-variables)
  va_start(args, format);
  __gnu_cxx::__snprintf_lite(text.data(), text.size(), format, args);
  va_end(args);
  throw LibraryError(text.data());
}
}  // namespace std
// NOLINTEND(bugprone-reserved-identifier)
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  qd::win32::Win32WindowSystem windowSystem(instance);
  qd::win32::Win32SystemServices services;
  return qd::RunProgram(windowSystem, services);
}
