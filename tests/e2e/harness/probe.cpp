#include "probe.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#include "probe_text.h"

namespace qd::e2e {

namespace {

using probe_text::Escaped;
using probe_text::Unescaped;

std::map<std::string, std::string> Fields(const std::string& line) {
  std::map<std::string, std::string> fields;
  std::istringstream in(line);
  std::string field;
  bool first = true;
  while (std::getline(in, field, '\t')) {
    if (first) {
      fields[""] = field;
      first = false;
      continue;
    }
    const auto eq = field.find('=');
    if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
  }
  return fields;
}

std::uintptr_t Handle(const std::string& text) {
  return static_cast<std::uintptr_t>(std::stoull(text, nullptr, 16));
}

WinRect Rectangle(const std::string& text) {
  WinRect r;
  if (std::sscanf(text.c_str(), "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) != 4) {
    throw std::invalid_argument("bad rectangle " + text);
  }
  return r;
}

}  // namespace

std::string HelperPath(const std::string& fileName) { return Target().buildDir / fileName; }

std::string ProgramPath() { return Target().buildDir / "Quiverdart.exe"; }

Probe::Probe(const WinePrefix& prefix, std::string display)
    : prefix_(prefix), display_(std::move(display)) {}

std::optional<std::vector<ProbeWindow>> Probe::Parse(const std::string& output) {
  std::vector<ProbeWindow> windows;
  std::istringstream in(output);
  std::string line;
  bool complete = false;
  try {
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      auto f = Fields(line);
      const std::string& kind = f[""];
      if (kind == "end") {
        complete = true;
      } else if (kind == "window") {
        ProbeWindow w;
        w.hwnd = Handle(f["hwnd"]);
        w.pid = std::stoul(f["pid"]);
        w.className = Unescaped(f["class"]);
        w.title = Unescaped(f["title"]);
        w.visible = f["visible"] == "1";
        w.minimized = f["minimized"] == "1";
        w.rect = Rectangle(f["rect"]);
        w.style = static_cast<std::uint32_t>(std::stoul(f["style"], nullptr, 16));
        w.exStyle = static_cast<std::uint32_t>(std::stoul(f["exstyle"], nullptr, 16));
        w.owner = Handle(f["owner"]);
        w.layered = f["layered"] == "1";
        if (f.contains("alpha")) w.alpha = std::stoul(f["alpha"]);
        if (f.contains("lwaflags")) w.lwaFlags = std::stoul(f["lwaflags"]);
        if (f.contains("z")) w.z = std::stoi(f["z"]);
        w.region = f["region"];
        if (f.contains("regionbox")) w.regionBox = Rectangle(f["regionbox"]);
        windows.push_back(w);
      } else if (kind == "inregion" && !windows.empty()) {
        windows.back().inRegion[{std::stoi(f["x"]), std::stoi(f["y"])}] = f["in"] == "1";
      } else if (kind == "child" && !windows.empty()) {
        windows.back().children.push_back({Handle(f["hwnd"]), Unescaped(f["class"]),
                                           f["visible"] == "1", Rectangle(f["rect"]),
                                           Unescaped(f["text"]), std::stol(f["id"])});
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!complete) return std::nullopt;
  return windows;
}

std::vector<ProbeWindow> Probe::Windows(const std::string& imageName,
                                        const std::vector<std::pair<int, int>>& points) const {
  std::vector<std::string> args = {HelperPath("probe.exe"), "windows", Escaped(imageName)};
  for (const auto& [x, y] : points) args.push_back(std::to_string(x) + "," + std::to_string(y));
  // A Wine start can fail now and then on a loaded machine (once in CI: no window listed
  // for a window X had mapped); a run that did not finish its listing is tried again.
  RunResult result;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    result = prefix_.Run(display_, args, 30s);
    if (auto windows = Parse(result.output)) return *windows;
  }
  std::cerr << "probe windows " << imageName << ": no complete listing in 3 runs; last exit "
            << (result.status ? std::to_string(result.status->code) : std::string("killed"))
            << ", output:\n"
            << result.output << "\n";
  return {};
}

std::optional<ProbeWindow> Probe::Foreground() const {
  const auto windows =
      Parse(prefix_.Run(display_, {HelperPath("probe.exe"), "foreground"}, 30s).output);
  if (!windows) return std::nullopt;
  return windows->empty() ? ProbeWindow{} : windows->front();
}

std::optional<bool> Probe::AnyButtonDown() const {
  const RunResult result = prefix_.Run(display_, {HelperPath("probe.exe"), "buttons"}, 30s);
  std::istringstream in(result.output);
  std::optional<bool> down;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto f = Fields(line);
    if (f[""] == "buttons") down = f["left"] == "1" || f["right"] == "1" || f["middle"] == "1";
    if (f[""] == "end") return down;
  }
  return std::nullopt;  // cut off before "end"
}

std::optional<ProbeCounts> Probe::ParseCounts(const std::string& output) {
  std::optional<ProbeCounts> counts;
  std::istringstream in(output);
  std::string line;
  bool complete = false;
  try {
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      auto f = Fields(line);
      if (f[""] == "end") {
        complete = true;
      } else if (f[""] == "counts" && !counts) {
        counts = ProbeCounts{Handle(f["hwnd"]), std::stol(f["gdi"]), std::stol(f["user"]),
                             std::stol(f["kernel"]), std::stoul(f["ticks"])};
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return complete ? counts : std::nullopt;
}

std::optional<ProbeCounts> Probe::Counts(const std::string& imageName) const {
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "counts", Escaped(imageName)}, 30s);
  return ParseCounts(result.output);
}

std::optional<std::vector<ProbeMenu>> Probe::ParseMenus(const std::string& output) {
  std::vector<ProbeMenu> menus;
  std::istringstream in(output);
  std::string line;
  bool complete = false;
  try {
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      auto f = Fields(line);
      if (f[""] == "end") {
        complete = true;
      } else if (f[""] == "menu") {
        menus.push_back({Handle(f["hwnd"]), Rectangle(f["rect"]), {}});
      } else if (f[""] == "menuitem" && !menus.empty()) {
        menus.back().items.push_back({Unescaped(f["caption"]), Unescaped(f["shortcut"]),
                                      f["checked"] == "1", f["grayed"] == "1", f["hilited"] == "1",
                                      Rectangle(f["rect"])});
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!complete) return std::nullopt;
  return menus;
}

std::optional<std::vector<ProbeMenu>> Probe::Menus(const std::string& imageName) const {
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "menu", Escaped(imageName)}, 30s);
  return ParseMenus(result.output);
}

std::optional<std::vector<ProbeIniSection>> Probe::ParseIni(const std::string& output) {
  std::vector<ProbeIniSection> sections;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto f = Fields(line);
    const std::string& kind = f[""];
    if (kind == "end") return sections;
    if (kind == "section") {
      sections.push_back({Unescaped(f["name"]), {}});
    } else if (kind == "key") {
      if (sections.empty() || sections.back().name != Unescaped(f["section"])) return std::nullopt;
      sections.back().values.emplace_back(Unescaped(f["name"]), Unescaped(f["value"]));
    }
  }
  return std::nullopt;  // cut off before "end"
}

std::optional<std::vector<ProbeIniSection>> Probe::ReadIni(const std::string& windowsPath) const {
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "ini-read", windowsPath}, 30s);
  return ParseIni(result.output);
}

bool Probe::WriteIni(const std::string& windowsPath,
                     const std::vector<std::array<std::string, 3>>& values) const {
  std::vector<std::string> args = {HelperPath("probe.exe"), "ini-write", windowsPath};
  for (const auto& value : values) args.insert(args.end(), value.begin(), value.end());
  const RunResult result = prefix_.Run(display_, args, 30s);
  return result.status && result.status->exited && result.status->code == 0;
}

std::optional<HeldFile> Probe::StartHolder(const std::vector<std::string>& args,
                                           const std::string& windowsMarker) const {
  Process holder = prefix_.Start(display_, args);
  std::filesystem::path marker = prefix_.UnixPath(windowsMarker);
  // The marker appears once the holder holds; a holder that ended could not.
  const bool held =
      WaitUntil(30s, [&] { return std::filesystem::exists(marker) || !holder.Running(); });
  if (!held || !std::filesystem::exists(marker)) return std::nullopt;
  return HeldFile(std::move(holder), std::move(marker));
}

std::optional<HeldFile> Probe::Hold(const std::string& windowsPath, bool shareRead) const {
  std::vector<std::string> args = {HelperPath("probe.exe"), "hold", windowsPath};
  if (shareRead) args.push_back("share-read");
  return StartHolder(args, windowsPath + ".held");
}

std::optional<HeldHotKey> Probe::HoldHotKey(unsigned modifiers, unsigned key) const {
  // A marker of its own per holder, so that a refused one cannot take another's for its own.
  static std::atomic<int> counter{0};
  const std::string marker = "C:\\hotkey-" + std::to_string(counter++) + ".held";
  const auto hex = [](unsigned value) {
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
  };
  auto held =
      StartHolder({HelperPath("probe.exe"), "hotkey", hex(modifiers), hex(key), marker}, marker);
  if (!held) return std::nullopt;
  return HeldHotKey(std::move(*held), prefix_.UnixPath(marker));
}

std::optional<SlideShow> Probe::OpenSlideShow(const WinRect& place, ShowKind kind) const {
  static std::atomic<int> counter{0};
  const std::string marker = "C:\\slides-" + std::to_string(counter++) + ".keys";
  const std::string rect = std::to_string(place.left) + "," + std::to_string(place.top) + "," +
                           std::to_string(place.right) + "," + std::to_string(place.bottom);
  std::vector<std::string> args = {HelperPath("probe.exe"), "slides", rect, marker};
  if (kind != ShowKind::Ordinary) {
    static const std::map<ShowKind, std::string> kNames = {
        {ShowKind::TopMost, "topmost"},
        {ShowKind::TopMostAgain, "topmost-again"},
        {ShowKind::TopMostFights, "topmost-fights"},
        {ShowKind::TopMostFightsAlone, "topmost-fights-alone"},
        {ShowKind::TopMostFightsInTurn, "topmost-fights-pair"}};
    args.push_back(kNames.at(kind));
  }
  auto held = StartHolder(args, marker);
  if (!held) return std::nullopt;
  return SlideShow(std::move(*held), prefix_.UnixPath(marker));
}

std::vector<unsigned> SlideShow::Keys() const {
  std::ifstream in(marker_);
  std::vector<unsigned> keys;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("key ", 0) == 0) keys.push_back(std::stoul(line.substr(4), nullptr, 16));
  }
  return keys;
}

bool SlideShow::FightOver() const {
  std::ifstream in(marker_);
  for (std::string line; std::getline(in, line);) {
    if (line == "fought") return true;
  }
  return false;
}

int HeldHotKey::Presses() const {
  std::ifstream in(marker_);
  int presses = 0;
  for (std::string line; std::getline(in, line);) presses += line == "hotkey";
  return presses;
}

HeldFile::HeldFile(Process holder, std::filesystem::path marker)
    : holder_(std::move(holder)), marker_(std::move(marker)) {}

HeldFile::HeldFile(HeldFile&& other) noexcept
    : holder_(std::move(other.holder_)), marker_(std::exchange(other.marker_, {})) {}

HeldFile::~HeldFile() { Release(); }

bool HeldFile::Release() {
  if (marker_.empty()) return true;
  std::error_code ignored;
  std::filesystem::remove(std::exchange(marker_, {}), ignored);
  return holder_.WaitFor(30s).has_value();
}

std::ostream& operator<<(std::ostream& out, const ProbeMonitor& m) {
  const auto rect = [&out](const WinRect& r) -> std::ostream& {
    return out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  };
  out << m.device << " rect ";
  rect(m.rect) << " work ";
  return rect(m.work) << (m.primary ? " primary" : "");
}

std::optional<std::vector<ProbeMonitor>> Probe::ParseMonitors(const std::string& output) {
  std::vector<ProbeMonitor> monitors;
  std::istringstream in(output);
  std::string line;
  try {
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      auto f = Fields(line);
      if (f[""] == "end") return monitors;
      if (f[""] == "monitor") {
        monitors.push_back({Unescaped(f["device"]), Rectangle(f["rect"]), Rectangle(f["work"]),
                            f["primary"] == "1"});
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return std::nullopt;  // cut off before "end"
}

std::optional<std::vector<ProbeMonitor>> Probe::Monitors() const {
  const RunResult result = prefix_.Run(display_, {HelperPath("probe.exe"), "monitors"}, 30s);
  return ParseMonitors(result.output);
}

std::optional<Probe::Dpis> Probe::MonitorDpis() const {
  const RunResult result = prefix_.Run(display_, {HelperPath("probe.exe"), "dpi"}, 30s);
  if (result.output.find("\nend") == std::string::npos) return std::nullopt;
  Dpis dpis;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    int left = 0;
    int top = 0;
    int dpi = 0;
    if (std::sscanf(line.c_str(), "system\tdpi=%d", &dpi) == 1) {
      dpis.system = dpi;
    } else if (std::sscanf(line.c_str(), "monitor\tat=%d,%d\tdpi=%d", &left, &top, &dpi) == 3) {
      dpis.monitors[{left, top}] = dpi;
    }
  }
  return dpis;
}

std::optional<bool> Probe::SwitchMonitorOff(const std::string& device) const {
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "display", device, "off"}, 60s);
  if (result.status && result.status->exited && result.status->code == 0) return true;
  // DISP_CHANGE_BADMODE for the detach itself.
  if (result.output.find("stored=-2\t") != std::string::npos &&
      !WineShows(WineLimit::kMonitorSwitchOff)) {
    return std::nullopt;
  }
  return false;
}

bool Probe::SwitchMonitorOn(const std::string& device, const WinRect& rect) const {
  const std::string place = std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                            std::to_string(rect.right) + "," + std::to_string(rect.bottom);
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "display", device, "on", place}, 60s);
  return result.status && result.status->exited && result.status->code == 0;
}

std::optional<std::uint32_t> Probe::FileAttributes(const std::string& windowsPath,
                                                   std::optional<std::uint32_t> set) const {
  std::vector<std::string> args = {HelperPath("probe.exe"), "attributes", windowsPath};
  if (set) {
    std::ostringstream hex;
    hex << std::hex << *set;
    args.push_back(hex.str());
  }
  const RunResult result = prefix_.Run(display_, args, 30s);
  std::optional<std::uint32_t> attributes;
  std::istringstream in(result.output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto f = Fields(line);
    try {
      if (f[""] == "attributes") {
        attributes = static_cast<std::uint32_t>(std::stoul(f["value"], nullptr, 16));
      }
    } catch (const std::exception&) {
      return std::nullopt;
    }
    if (f[""] == "end") return attributes;
  }
  return std::nullopt;  // cut off before "end"
}

bool Probe::Post(const std::vector<std::uintptr_t>& hwnds, const std::string& command) const {
  std::ostringstream handles;
  handles << std::hex;
  for (std::size_t i = 0; i < hwnds.size(); ++i) handles << (i == 0 ? "" : ",") << hwnds[i];
  const RunResult result =
      prefix_.Run(display_, {HelperPath("probe.exe"), "post", handles.str(), command}, 30s);
  return result.status && result.status->exited && result.status->code == 0;
}

}  // namespace qd::e2e
