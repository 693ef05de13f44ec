#include "settings/location.h"

#include "framework/strings.h"

namespace qd {

namespace {

// Start of the file name: after the last folder or drive delimiter.
std::size_t FileNameStart(const std::string& path) {
  const auto delimiter = path.find_last_of("\\/:");
  return delimiter == std::string::npos ? 0 : delimiter + 1;
}

// Position of the file name's extension dot, or the path's length when it has none.
std::size_t ExtensionStart(const std::string& path) {
  const auto dot = path.rfind('.');
  return dot == std::string::npos || dot < FileNameStart(path) ? path.size() : dot;
}

}  // namespace

std::string ExeBaseNameOf(const std::string& exePath) {
  const std::size_t start = FileNameStart(exePath);
  return exePath.substr(start, ExtensionStart(exePath) - start);
}

std::string BesideProgramPathOf(const std::string& exePath) {
  return exePath.substr(0, ExtensionStart(exePath)) + ".ini";
}

std::string ResolveSettingsFilePath(SystemServices& services, const std::string& makerFolder,
                                    const std::string& exePath, bool copyFlag) {
  const std::string baseName = ExeBaseNameOf(exePath);
  const std::string besidePath = BesideProgramPathOf(exePath);

  // A value of another type counts as not found, so that the environment is asked next.
  const RegistryRead registry =
      services.ReadUserRegistryText(std::string(kShellFoldersKey), "AppData");
  std::string baseFolder = registry.status == RegistryStatus::Text ? registry.text : "";
  if (baseFolder.empty()) {
    const std::string environment = services.GetEnvironmentVariable("APPDATA").value_or("");
    if (!TrimBlanks(environment).empty()) {
      baseFolder = environment;  // as read, blanks and all
    }
  }

  std::string result = besidePath;
  bool perUser = false;
  if (!baseFolder.empty()) {
    const std::string folder = baseFolder + "\\" + makerFolder + "\\" + baseName;
    if (!services.DirectoryExists(folder)) {
      services.ForceDirectories(folder);
    }
    if (services.DirectoryExists(folder)) {
      result = folder + "\\" + baseName + ".ini";
      perUser = true;
    }
  }

  // Settings kept beside the program by an earlier installation carry over, but never
  // over a per-user file.
  if (copyFlag && !services.SameText(result, besidePath) && perUser &&
      !services.FileExists(result) && services.FileExists(besidePath)) {
    services.CopyFileFailIfExists(besidePath, result);
  }
  return result;
}

}  // namespace qd
