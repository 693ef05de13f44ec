#include "settings/location.h"

#include <cctype>
#include <optional>

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

// "%NAME%" replaced by the variable's value, as the system expands such a registry value;
// a name the environment lacks stays as it is.
std::string ExpandEnvironmentText(SystemServices& services, const std::string& text) {
  std::string expanded;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('%', at);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      expanded += text.substr(at);
      break;
    }
    expanded += text.substr(at, open - at);
    const std::string name = text.substr(open + 1, close - open - 1);
    const std::optional<std::string> value =
        name.empty() ? std::nullopt : services.GetEnvironmentVariable(name);
    if (value) {
      expanded += *value;
      at = close + 1;
    } else {
      // The closing '%' may open the next name.
      expanded += text.substr(open, close - open);
      at = close;
    }
  }
  return expanded;
}

// A drive and its root ("C:\") or a share ("\\server").
bool IsAbsoluteFolder(const std::string& path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
                     path[1] == ':' && separator(path[2]);
  return drive || (path.size() >= 2 && separator(path[0]) && separator(path[1]));
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
  if (registry.status == RegistryStatus::ExpandableText) {
    // Unexpanded, or naming a variable the environment lacks, it would be a folder below
    // whichever folder the program was started in.
    baseFolder = ExpandEnvironmentText(services, registry.text);
    if (!IsAbsoluteFolder(baseFolder)) {
      baseFolder.clear();
    }
  }
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
