#include "session.h"

#include <filesystem>
#include <iomanip>
#include <sstream>
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

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kVideoKey[] =
    "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
    "Control\\Video";

}  // namespace

bool SetSessionDpi(Session& s, int dpi, bool keep) {
  if (!s.Prefix().SetUserRegistryValue(kDesktopKey, "LogPixels", "REG_DWORD",
                                       std::to_string(dpi))) {
    return false;
  }
  s.Prefix().KillServer();
  if (keep) {
    ProcessOptions server;
    server.setEnv = s.Prefix().Environment(s.Screen().Display(), {});
    server.argv = {"wineserver", "-p"};
    Run(server, 30s);
  }
  return true;
}

bool SetMonitorDpi(Session& s, int index, int dpi) {
  // A program started on the display fills the monitors' keys.
  if (!s.WinProbe().MonitorDpis()) return false;
  const RunResult keys = s.Prefix().Reg({"query", kVideoKey, "/s", "/v", "Dpi"});
  std::ostringstream ending;
  ending << '\\' << std::setw(4) << std::setfill('0') << index;
  std::istringstream lines(keys.output);
  bool set = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // The monitor's key: ...\Video\{GUID}\0001 for the second
    if (line.rfind("HKEY_", 0) == 0 && line.size() > 5 &&
        line.substr(line.size() - 5) == ending.str()) {
      const RunResult added = s.Prefix().Reg(
          {"add", line, "/v", "Dpi", "/t", "REG_DWORD", "/d", std::to_string(dpi), "/f"});
      set = set || (added.status && added.status->exited && added.status->code == 0);
    }
  }
  return set;
}

}  // namespace qd::e2e
