// A window system for the unit tests: logs every call in order and answers from a
// script that the test sets up.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/window_system.h"

namespace qd::test {

class FakeWindowSystem final : public WindowSystem {
 public:
  // --- what the test scripts ---
  std::string moduleFileName = "C:\\Tools\\Quiverdart.exe";
  std::vector<std::string> commandLine;
  std::string localeText = "0409";
  TRect workArea{0, 0, 1920, 1080};
  TPoint cursorPos{0, 0};
  std::function<TColor(TPoint)> screenPixel = [](TPoint) { return TColor{0}; };
  bool layeredAttributesAvailable = true;
  bool refuseTimers = false;
  bool refuseRegions = false;
  std::deque<int> menuChoices;  // answers of TrackPopupMenu, 0 when empty
  // Answer of ChooseColor: nullopt cancels; otherwise the colour and custom colours chosen.
  std::function<bool(TColor&, std::array<TColor, 16>&)> chooseColor;
  std::function<void()> onProcessMessages;  // runs nested handlers in ProcessMessages
  std::function<void(const std::string&)> onMessageBox;
  bool waitableCreateFails = false;
  bool waitableSetFails = false;
  bool waitableWaitFails = false;
  bool waitableCancelFails = false;
  std::map<std::string, RegistryRead> registry;  // key "|" value
  std::map<std::string, std::string> environment;
  std::map<std::string, std::string> files;  // path -> bytes
  std::set<std::string> directories;
  std::set<std::string> unreadableFiles;
  std::set<std::string> unwritableFolders;  // ForceDirectories and file creation fail below
  // Fail the n-th (1-based) call of a file-writing step: "create", "write", "flush",
  // "close", "replace".
  std::map<std::string, int> failFileStepAt;

  // --- what the test observes ---
  std::vector<std::string> log;
  WindowEvents* events = nullptr;
  std::set<unsigned> runningTimers;
  int openCanvases = 0;
  int regionsCreated = 0;
  std::vector<std::string> messageBoxes;  // "caption|text"

  // Runs the handler of a running timer, as a tick from the message loop would.
  void Tick(unsigned timerId);
  // Log entries that start with the prefix, in order.
  std::vector<std::string> Calls(const std::string& prefix) const;
  void ClearLog() { log.clear(); }

  // --- WindowSystem ---
  void SetApplicationTitle(const std::string& title) override;
  std::string ModuleFileName() override { return moduleFileName; }
  std::vector<std::string> CommandLineParams() override { return commandLine; }
  std::string LocaleLanguageText() override { return localeText; }
  NativeWindow CreateAppWindow(const WindowParams& params, WindowEvents& sink) override;
  void DestroyAppWindow(NativeWindow window) override;
  void SetWindowBounds(NativeWindow window, int left, int top, int width, int height) override;
  void ShowAppWindow(NativeWindow window, bool visible) override;
  NativeRegion CreatePolygonRegion(const std::vector<TPoint>& points) override;
  void SetWindowRegion(NativeWindow window, NativeRegion region, bool redraw) override;
  void SetLayered(NativeWindow window, bool layered) override;
  bool HasLayeredAttributes() override { return layeredAttributesAvailable; }
  void SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) override;
  void Invalidate(NativeWindow window) override;
  std::unique_ptr<Canvas> GetCanvas(NativeWindow window) override;
  bool StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) override;
  void StopTimer(NativeWindow window, unsigned timerId) override;
  void RunMessageLoop(NativeWindow mainWindow) override;
  void ProcessMessages() override;
  void PostQuit() override;
  TPoint GetCursorPos() override { return cursorPos; }
  void SetCapture(NativeWindow window) override;
  void ReleaseCapture() override;
  NativeCursor LoadCursorResource(const std::string& name) override;
  void ApplyCursor(NativeWindow window, NativeCursor cursor) override;
  TRect GetWorkArea() override { return workArea; }
  TColor GetScreenPixel(TPoint screenPos) override;
  int TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                     TPoint screenPos) override;
  void ShowMessageBox(NativeWindow owner, const std::string& text, const std::string& caption,
                      MessageKind kind) override;
  bool ChooseColor(NativeWindow owner, TColor& color, std::array<TColor, 16>& custom,
                   bool fullOpen, bool solidOnly) override;
  NativeHandle CreateWaitableTimer() override;
  bool SetWaitableTimer(NativeHandle timer, std::int64_t dueTime100ns) override;
  bool WaitForTimer(NativeHandle timer, std::uint32_t timeoutMs) override;
  bool CancelWaitableTimer(NativeHandle timer) override;
  void CloseHandle(NativeHandle handle) override;
  RegistryRead ReadUserRegistryText(const std::string& key, const std::string& value) override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  bool DirectoryExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void ForceDirectories(const std::string& path) override;
  bool CopyFileFailIfExists(const std::string& from, const std::string& to) override;
  bool SameText(const std::string& a, const std::string& b) override;
  FileRead ReadWholeFile(const std::string& path) override;
  NativeFile CreateFileForWrite(const std::string& path) override;
  bool WriteFileBytes(NativeFile file, const std::string& bytes) override;
  bool FlushFile(NativeFile file) override;
  bool CloseFile(NativeFile file) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  void DeleteFile(const std::string& path) override;
  std::string LastErrorMessage() override { return lastError_; }

  // Files being written: path and the bytes written so far (visible on disk only when
  // closed, as a flushed and closed file would be).
  struct OpenFile {
    std::string path;
    std::string bytes;
    bool open = true;
  };
  std::map<NativeFile, OpenFile> openFiles;

 private:
  bool FailStep(const std::string& step);
  bool BelowUnwritable(const std::string& path) const;

  std::map<std::string, int> fileStepCalls_;
  std::string lastError_;
  NativeFile nextFile_ = 1;
  NativeRegion nextRegion_ = 1;
};

std::string ColorText(TColor color);

}  // namespace qd::test
