// Makes the template Wine prefix that every end-to-end test copies, once per build folder,
// and clears away the prefixes that earlier runs left behind.
#include <exception>
#include <iostream>

#include "wine_prefix.h"

int main() {
  try {
    qd::e2e::WinePrefix::RemoveStale();
    qd::e2e::WinePrefix::EnsureTemplate();
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  std::cout << "Wine template prefix ready in " << qd::e2e::WorkDir() << "\n";
  return 0;
}
