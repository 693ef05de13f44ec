// Framework failures. They are not caught by the program's handlers: the message
// dispatch shows them in the standard error box and the program goes on.
#pragma once

#include <exception>

namespace qd {

// The text is a literal, whose address the exception keeps: nothing to copy, and the
// Windows exe links none of the library's string-holding exception classes.
class EFrameworkError : public std::exception {
 public:
  explicit EFrameworkError(const char* literal) noexcept : text_(literal) {}
  [[nodiscard]] const char* what() const noexcept override { return text_; }

 private:
  const char* text_;
};

class EOutOfResources : public EFrameworkError {
 public:
  using EFrameworkError::EFrameworkError;
};

class EConvertError : public EFrameworkError {
 public:
  using EFrameworkError::EFrameworkError;
};

class EFileError : public EFrameworkError {
 public:
  using EFrameworkError::EFrameworkError;
};

}  // namespace qd
