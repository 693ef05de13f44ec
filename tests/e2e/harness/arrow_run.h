// Quiverdart.exe started in a session of its own, optionally over a settings file written
// into the prefix first, with what the window, drag and fade tests read of its arrow.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "session.h"

namespace qd::e2e {

// Wine reports a layered window's alpha on X as alpha x 0x01010101.
inline constexpr std::uint32_t kOpacityUnit = 0x01010101;

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The folder that the prefix's Shell Folders value "AppData" names (the program asks the
// registry first), on the Unix side; empty if the value is missing. Read from user.reg, so
// it must be called before Wine starts in the prefix and rewrites the file.
inline std::filesystem::path AppDataFolder(const WinePrefix& prefix) {
  const std::string reg = ReadText(prefix.Root() / "user.reg");
  const std::string key =
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]";
  const auto start = reg.find(key);
  if (start == std::string::npos) return {};
  const auto end = reg.find("\n[", start + key.size());
  const std::string name = "\n\"AppData\"=\"";
  const auto at = reg.find(name, start);
  if (at == std::string::npos || at > end) return {};
  std::string value;
  for (std::size_t i = at + name.size(); i < reg.size() && reg[i] != '"'; ++i) {
    if (reg[i] == '\\' && i + 1 < reg.size()) ++i;  // user.reg doubles every backslash
    value += reg[i];
  }
  if (value.size() < 3 || (value[0] != 'C' && value[0] != 'c') || value[1] != ':') return {};
  std::filesystem::path folder = prefix.DriveC();
  std::istringstream parts(value.substr(3));
  for (std::string part; std::getline(parts, part, '\\');) {
    if (!part.empty()) folder /= part;
  }
  return folder;
}

// The settings file the program wrote anywhere under the prefix's user folders, for tests
// that let the program pick its folder.
inline std::optional<std::filesystem::path> FindSettingsFile(const WinePrefix& prefix) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(prefix.DriveC() / "users", ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->path().filename() == "Quiverdart.ini") return it->path();
  }
  return std::nullopt;
}

// The integer a settings file holds under [section] key=, as the program would read it.
inline std::optional<long> IniInteger(const std::string& text, const std::string& section,
                                      const std::string& key) {
  std::istringstream in(text);
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inSection = line == "[" + section + "]";
    } else if (inSection && line.rfind(key + "=", 0) == 0) {
      try {
        return std::stol(line.substr(key.size() + 1));
      } catch (const std::exception&) {
        return std::nullopt;
      }
    }
  }
  return std::nullopt;
}

class ArrowRun {
 public:
  // settings: the text of the settings file the program finds at start; empty for none.
  // locale: LC_ALL for the program, which sets its user locale; empty for en_US.UTF-8.
  ArrowRun(int width, int height, const std::string& settings = {}, const std::string& locale = {})
      : ArrowRun(std::vector<Rect>{Rect{0, 0, width, height}}, settings, locale) {}
  // Several monitors, the first the primary at 0,0 (see VirtualScreen).
  explicit ArrowRun(const std::vector<Rect>& monitors, const std::string& settings = {},
                    const std::string& locale = {}, Focus focus = Focus::FollowsPointer)
      : ArrowRun(
            monitors, settings, [](Session&) {}, locale, focus) {}
  // The same, with `prepare` done in the session before the program starts (registry values
  // of the prefix, for example).
  ArrowRun(const std::vector<Rect>& monitors, const std::string& settings,
           const std::function<void(Session&)>& prepare, const std::string& locale = {},
           Focus focus = Focus::FollowsPointer)
      : session_(monitors, focus),
        settingsFile_(AppDataFolder(session_.Prefix()) / "Brennavo" / "Quiverdart" /
                      "Quiverdart.ini"),
        locale_(locale) {
    if (!settings.empty()) {
      std::filesystem::create_directories(settingsFile_.parent_path());
      std::ofstream(settingsFile_, std::ios::binary) << settings;
    }
    prepare(session_);
    exePath_ = session_.Install(ProgramPath(), "Quiverdart.exe");
    Start();
  }

  // Starts the program anew once the last start has ended (closed, or killed as a crash or
  // End task ends it), in the same session; true once its arrow has shown.
  bool Restart() { return Start(); }
  // The program's Windows path in the prefix, for another start beside the running one.
  const std::string& ExePath() const { return exePath_; }

  Session& S() { return session_; }
  XScreen& X() { return session_.X(); }
  XInput& Input() { return session_.Input(); }
  Process& Program() { return *process_; }
  // The arrow's X window (0 if none showed) and its bounds when it was first shown, of the
  // latest start.
  Window Arrow() const { return arrow_; }
  const Rect& Shown() const { return shown_; }
  Rect Now() { return X().Geometry(arrow_).value_or(Rect{}); }

  std::optional<ProbeWindow> ProbeClass(const std::string& className,
                                        const std::vector<std::pair<int, int>>& points = {}) {
    for (auto& w : session_.WinProbe().Windows("Quiverdart.exe", points)) {
      if (w.className == className) return std::move(w);
    }
    return std::nullopt;
  }
  std::optional<ProbeWindow> ProbeArrow() { return ProbeClass("TFormMain"); }
  // The task-bar window, through which the program is minimised and restored.
  std::optional<ProbeWindow> ProbeApplication() { return ProbeClass("TApplication"); }

  // The alpha that X reports for the arrow; nothing while it is not layered or opaque.
  std::optional<std::uint32_t> Alpha() {
    const auto opacity = X().Opacity(arrow_);
    if (!opacity) return std::nullopt;
    return *opacity / kOpacityUnit;
  }
  bool WaitForAlpha(std::optional<std::uint32_t> alpha, Clock::duration timeout = 10s) {
    return WaitUntil(
        timeout, [&] { return Alpha() == alpha; }, 5ms);
  }

  const std::filesystem::path& SettingsFile() const { return settingsFile_; }
  // Asks the arrow to close, the orderly way that writes the settings; true once the
  // program has ended with exit code 0.
  bool Close() {
    const auto arrow = ProbeArrow();
    if (!arrow || !session_.WinProbe().PostClose(arrow->hwnd)) return false;
    const auto status = process_->WaitFor(kExitTimeout);
    return status && status->exited && status->code == 0;
  }

 private:
  bool Start() {
    const std::size_t before = X().History().size();
    process_.emplace(session_.Launch(exePath_, {}, locale_));
    const auto first = X().WaitForFirstMap(kStartTimeout, before);
    arrow_ = first ? first->window : 0;
    shown_ = first ? first->geometry : Rect{};
    return first.has_value();
  }

  Session session_;
  std::filesystem::path settingsFile_;
  std::string locale_;
  std::string exePath_;
  std::optional<Process> process_;
  Window arrow_ = 0;
  Rect shown_;
};

}  // namespace qd::e2e
