#include "session.h"

#include <filesystem>
#include <stdexcept>

namespace qd::e2e {

namespace fs = std::filesystem;

Session::Session(int width, int height) : Session(std::vector<Rect>{Rect{0, 0, width, height}}) {}

Session::Session(const std::vector<Rect>& monitors, Focus focus)
    : screen_(monitors, focus),
      x_(screen_.Display()),
      input_(x_.Connection()),
      probe_(prefix_, screen_.Display()) {}

std::string Session::Install(const std::string& sourcePath, const std::string& name) {
  if (!fs::exists(sourcePath)) throw std::runtime_error("not built: " + sourcePath);
  const fs::path folder = prefix_.DriveC() / "Programs";
  fs::create_directories(folder);
  fs::copy_file(sourcePath, folder / name, fs::copy_options::overwrite_existing);
  return "C:\\Programs\\" + name;
}

Process Session::Launch(const std::string& path, const std::vector<std::string>& args,
                        const std::string& locale) {
  std::vector<std::string> wineArgs = {path};
  wineArgs.insert(wineArgs.end(), args.begin(), args.end());
  return prefix_.Start(screen_.Display(), wineArgs, locale);
}

}  // namespace qd::e2e
