// Framework failures. They are not caught by the program's handlers: the message
// dispatch shows them in the standard error box and the program goes on.
#pragma once

#include <stdexcept>
#include <string>

namespace qd {

class EFrameworkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
