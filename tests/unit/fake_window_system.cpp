#include "fake_window_system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qd::test {

namespace {

constexpr NativeWindow kWindow = 0x100;
constexpr NativeHandle kWaitable = 0x200;

std::string PointsText(const std::vector<TPoint>& points) {
  std::string text;
  for (const TPoint& p : points) {
    text += " (" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
  }
  return text;
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FakeCanvas final : public Canvas {
 public:
  explicit FakeCanvas(FakeWindowSystem& ws) : ws_(ws) { ++ws_.openCanvases; }
  ~FakeCanvas() override { --ws_.openCanvases; }
  FakeCanvas(const FakeCanvas&) = delete;
  FakeCanvas& operator=(const FakeCanvas&) = delete;
  void FillRect(const TRect& r, TColor color) override {
    ws_.log.push_back("FillRect " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                      std::to_string(r.right) + " " + std::to_string(r.bottom) + " " +
                      ColorText(color));
  }
  void Polyline(const std::vector<TPoint>& points, int penWidth, TColor penColor) override {
    ws_.log.push_back("Polyline w" + std::to_string(penWidth) + " " + ColorText(penColor) +
                      PointsText(points));
  }

 private:
  FakeWindowSystem& ws_;
};

}  // namespace

std::string ColorText(TColor color) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(color));
  return text;
}

void FakeWindowSystem::Tick(unsigned timerId) {
  if (runningTimers.contains(timerId) && events != nullptr) {
    events->OnTimer(timerId);
  }
}

std::vector<std::string> FakeWindowSystem::Calls(const std::string& prefix) const {
  std::vector<std::string> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [&](const std::string& line) { return line.starts_with(prefix); });
  return out;
}

void FakeWindowSystem::SetApplicationTitle(const std::string& title) {
  log.push_back("SetApplicationTitle " + title);
}

NativeWindow FakeWindowSystem::CreateAppWindow(const WindowParams& params, WindowEvents& sink) {
  events = &sink;
  log.push_back("CreateAppWindow " + std::to_string(params.bounds.left) + " " +
                std::to_string(params.bounds.top) + " " + std::to_string(params.bounds.right) +
                " " + std::to_string(params.bounds.bottom) + (params.topMost ? " topmost" : "") +
                (params.layered ? " layered" : ""));
  return kWindow;
}

void FakeWindowSystem::DestroyAppWindow(NativeWindow /*window*/) {
  log.push_back("DestroyAppWindow");
  events = nullptr;
}

void FakeWindowSystem::SetWindowBounds(NativeWindow /*window*/, int left, int top, int width,
                                       int height) {
  log.push_back("SetWindowBounds " + std::to_string(left) + " " + std::to_string(top) + " " +
                std::to_string(width) + " " + std::to_string(height));
}

void FakeWindowSystem::ShowAppWindow(NativeWindow /*window*/, bool visible) {
  log.push_back(visible ? "ShowAppWindow" : "HideAppWindow");
}

NativeRegion FakeWindowSystem::CreatePolygonRegion(const std::vector<TPoint>& points) {
  log.push_back("CreatePolygonRegion" + PointsText(points));
  if (refuseRegions) {
    return 0;
  }
  ++regionsCreated;
  return nextRegion_++;
}

void FakeWindowSystem::SetWindowRegion(NativeWindow /*window*/, NativeRegion region,
                                       bool redraw) {
  log.push_back("SetWindowRegion " + std::to_string(region) + (redraw ? " redraw" : ""));
}

void FakeWindowSystem::SetLayered(NativeWindow /*window*/, bool layered) {
  log.push_back(layered ? "SetLayered on" : "SetLayered off");
}

void FakeWindowSystem::SetLayeredAlpha(NativeWindow /*window*/, std::uint8_t alpha) {
  log.push_back("SetLayeredAlpha " + std::to_string(alpha));
}

void FakeWindowSystem::Invalidate(NativeWindow /*window*/) { log.push_back("Invalidate"); }

std::unique_ptr<Canvas> FakeWindowSystem::GetCanvas(NativeWindow /*window*/) {
  return std::make_unique<FakeCanvas>(*this);
}

bool FakeWindowSystem::StartTimer(NativeWindow /*window*/, unsigned timerId,
                                  unsigned intervalMs) {
  log.push_back("StartTimer " + std::to_string(timerId) + " " + std::to_string(intervalMs));
  if (refuseTimers) {
    return false;
  }
  runningTimers.insert(timerId);
  return true;
}

void FakeWindowSystem::StopTimer(NativeWindow /*window*/, unsigned timerId) {
  log.push_back("StopTimer " + std::to_string(timerId));
  runningTimers.erase(timerId);
}

void FakeWindowSystem::RunMessageLoop(NativeWindow /*mainWindow*/) {
  log.push_back("RunMessageLoop");
}

void FakeWindowSystem::ProcessMessages() {
  log.push_back("ProcessMessages");
  if (onProcessMessages) {
    auto hook = std::move(onProcessMessages);
    onProcessMessages = nullptr;  // nested pumps see an empty queue
    hook();
  }
}

void FakeWindowSystem::PostQuit() { log.push_back("PostQuit"); }

void FakeWindowSystem::SetCapture(NativeWindow /*window*/) { log.push_back("SetCapture"); }

void FakeWindowSystem::ReleaseCapture() { log.push_back("ReleaseCapture"); }

NativeCursor FakeWindowSystem::LoadCursorResource(const std::string& name) {
  log.push_back("LoadCursorResource " + name);
  if (name == "HandFlat") {
    return 0xF1;
  }
  if (name == "HandGrab") {
    return 0xF2;
  }
  return 0;
}

void FakeWindowSystem::ApplyCursor(NativeWindow /*window*/, NativeCursor cursor) {
  log.push_back("ApplyCursor " + std::to_string(cursor));
}

TColor FakeWindowSystem::GetScreenPixel(TPoint screenPos) {
  log.push_back("GetScreenPixel " + std::to_string(screenPos.x) + " " +
                std::to_string(screenPos.y));
  return screenPixel(screenPos);
}

int FakeWindowSystem::TrackPopupMenu(NativeWindow /*owner*/,
                                     const std::vector<MenuItemView>& items, TPoint screenPos) {
  std::string text = "TrackPopupMenu " + std::to_string(screenPos.x) + " " +
                     std::to_string(screenPos.y);
  for (const MenuItemView& item : items) {
    text += " [" + item.caption + "|" + item.shortcutText + (item.checked ? "|checked" : "") +
            (item.enabled ? "" : "|disabled") + "|" + item.glyphResource + "]";
  }
  log.push_back(text);
  if (menuChoices.empty()) {
    return 0;
  }
  const int choice = menuChoices.front();
  menuChoices.pop_front();
  return choice;
}

void FakeWindowSystem::ShowMessageBox(NativeWindow /*owner*/, const std::string& text,
                                      const std::string& caption, MessageKind kind) {
  log.push_back(std::string(kind == MessageKind::Plain ? "MessageBox " : "ErrorBox ") + caption);
  messageBoxes.push_back(caption + "|" + text);
  if (onMessageBox) {
    onMessageBox(text);
  }
}

bool FakeWindowSystem::ChooseColor(NativeWindow /*owner*/, TColor& color,
                                   std::array<TColor, 16>& custom, bool fullOpen,
                                   bool solidOnly) {
  log.push_back("ChooseColor " + ColorText(color) + (fullOpen ? " fullopen" : "") +
                (solidOnly ? " solid" : ""));
  return chooseColor ? chooseColor(color, custom) : false;
}

NativeHandle FakeWindowSystem::CreateWaitableTimer() {
  log.push_back("CreateWaitableTimer");
  return waitableCreateFails ? 0 : kWaitable;
}

bool FakeWindowSystem::SetWaitableTimer(NativeHandle /*timer*/, std::int64_t dueTime100ns) {
  log.push_back("SetWaitableTimer " + std::to_string(dueTime100ns));
  return !waitableSetFails;
}

bool FakeWindowSystem::WaitForTimer(NativeHandle /*timer*/, std::uint32_t timeoutMs) {
  log.push_back("WaitForTimer " + std::to_string(timeoutMs));
  return !waitableWaitFails;
}

bool FakeWindowSystem::CancelWaitableTimer(NativeHandle /*timer*/) {
  log.push_back("CancelWaitableTimer");
  return !waitableCancelFails;
}

void FakeWindowSystem::CloseHandle(NativeHandle /*handle*/) { log.push_back("CloseHandle"); }

RegistryRead FakeWindowSystem::ReadUserRegistryText(const std::string& key,
                                                    const std::string& value) {
  log.push_back("ReadUserRegistryText " + key + " " + value);
  const auto it = registry.find(key + "|" + value);
  return it == registry.end() ? RegistryRead{} : it->second;
}

std::optional<std::string> FakeWindowSystem::GetEnvironmentVariable(const std::string& name) {
  log.push_back("GetEnvironmentVariable " + name);
  const auto it = environment.find(name);
  if (it == environment.end()) {
    return std::nullopt;
  }
  return it->second;
}

bool FakeWindowSystem::DirectoryExists(const std::string& path) {
  return directories.contains(path);
}

bool FakeWindowSystem::FileExists(const std::string& path) { return files.contains(path); }

bool FakeWindowSystem::BelowUnwritable(const std::string& path) const {
  return std::any_of(unwritableFolders.begin(), unwritableFolders.end(),
                     [&](const std::string& folder) { return path.starts_with(folder); });
}

void FakeWindowSystem::ForceDirectories(const std::string& path) {
  log.push_back("ForceDirectories " + path);
  for (std::string p = path; !p.empty() && !p.ends_with(':'); p = ParentOf(p)) {
    if (BelowUnwritable(p)) {
      return;
    }
  }
  for (std::string p = path; !p.empty() && !p.ends_with(':'); p = ParentOf(p)) {
    directories.insert(p);
  }
}

bool FakeWindowSystem::CopyFileFailIfExists(const std::string& from, const std::string& to) {
  log.push_back("CopyFile " + from + " " + to);
  if (!files.contains(from) || files.contains(to) || BelowUnwritable(to)) {
    return false;
  }
  files[to] = files[from];
  return true;
}

bool FakeWindowSystem::SameText(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

FileRead FakeWindowSystem::ReadWholeFile(const std::string& path) {
  log.push_back("ReadWholeFile " + path);
  if (unreadableFiles.contains(path)) {
    return {FileStatus::Error, {}, "Access denied"};
  }
  const auto it = files.find(path);
  if (it == files.end()) {
    return {FileStatus::NotFound, {}, {}};
  }
  if (it->second.size() > kMaxWholeFileBytes) {
    return {FileStatus::Error, {}, kFileTooLargeMessage};
  }
  return {FileStatus::Ok, it->second, {}};
}

bool FakeWindowSystem::FailStep(const std::string& step) {
  const int call = ++fileStepCalls_[step];
  const auto it = failFileStepAt.find(step);
  if (it != failFileStepAt.end() && it->second == call) {
    lastError_ = "Injected failure at " + step;
    return true;
  }
  return false;
}

NativeFile FakeWindowSystem::CreateFileForWrite(const std::string& path) {
  log.push_back("CreateFileForWrite " + path);
  if (FailStep("create") || BelowUnwritable(path) || !directories.contains(ParentOf(path))) {
    if (lastError_.empty()) {
      lastError_ = "Cannot create " + path;
    }
    return 0;
  }
  const NativeFile file = nextFile_++;
  openFiles[file] = {path, {}, true};
  files[path].clear();
  return file;
}

bool FakeWindowSystem::WriteFileBytes(NativeFile file, const std::string& bytes) {
  log.push_back("WriteFileBytes " + std::to_string(bytes.size()));
  if (FailStep("write")) {
    // A failing write may leave part of the data behind.
    openFiles[file].bytes += bytes.substr(0, bytes.size() / 2);
    files[openFiles[file].path] = openFiles[file].bytes;
    return false;
  }
  openFiles[file].bytes += bytes;
  files[openFiles[file].path] = openFiles[file].bytes;
  return true;
}

bool FakeWindowSystem::FlushFile(NativeFile /*file*/) {
  log.push_back("FlushFile");
  return !FailStep("flush");
}

bool FakeWindowSystem::CloseFile(NativeFile file) {
  log.push_back("CloseFile");
  openFiles[file].open = false;
  return !FailStep("close");
}

bool FakeWindowSystem::ReplaceFile(const std::string& from, const std::string& to) {
  log.push_back("ReplaceFile " + from + " " + to);
  if (FailStep("replace") || !files.contains(from)) {
    return false;
  }
  files[to] = files[from];
  files.erase(from);
  return true;
}

void FakeWindowSystem::DeleteFile(const std::string& path) {
  log.push_back("DeleteFile " + path);
  files.erase(path);
}

}  // namespace qd::test
