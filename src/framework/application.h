// The application object: title, termination, the registered cursors and
// the application-wide cursor, the standard error box, and the window system and system
// services it hands out.
#pragma once

#include <map>
#include <string>

#include "framework/system_services.h"
#include "framework/window_system.h"

namespace qd {

class TForm;

// Cursor identifiers.
using TCursor = int;
inline constexpr TCursor crDefault = 0;

class TApplication {
 public:
  TApplication(WindowSystem& windowSystem, SystemServices& services)
      : ws_(windowSystem), services_(services) {}
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;
  ~TApplication() = default;

  WindowSystem& Ws() { return ws_; }
  SystemServices& Services() { return services_; }

  // The program file's name: UTF-8.
  [[nodiscard]] const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // Creates the main form's window; the form's creation handler runs inside.
  void SetMainForm(TForm* form) { mainForm_ = form; }
  [[nodiscard]] TForm* MainForm() const { return mainForm_; }
  // Shows the main form and runs the message loop until termination is asked for.
  void Run();
  void Terminate();
  [[nodiscard]] bool Terminated() const { return terminated_; }
  void ProcessMessages() { ws_.ProcessMessages(); }

  // Cursor registry and the application-wide cursor, which overrides the window's own
  // cursor while it is not crDefault.
  void RegisterCursor(TCursor id, NativeCursor cursor);
  [[nodiscard]] NativeCursor CursorHandle(TCursor id) const;
  [[nodiscard]] TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

  // The standard error box, captioned with the application title; the program's and the
  // framework's messages are Windows-1252.
  void ShowError(const std::string& text);
  // The plain message dialog: no icon, one OK button, centred on the screen; a text of the
  // program's own, Windows-1252.
  void ShowPlainMessage(const std::string& text);

 private:
  WindowSystem& ws_;
  SystemServices& services_;
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  TCursor cursor_ = crDefault;
  std::map<TCursor, NativeCursor> cursors_;
};

}  // namespace qd
