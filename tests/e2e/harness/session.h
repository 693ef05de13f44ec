// One end-to-end session: a private X screen of a given size or monitors, watched from
// before the first window appears, a private Wine prefix, input, and the probe.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "probe.h"
#include "virtual_screen.h"
#include "wine_prefix.h"
#include "x_input.h"
#include "x_screen.h"

namespace qd::e2e {

// How long a program may take to show its first window in a fresh prefix (Wine brings up
// its services first), and to end when asked.
inline constexpr Clock::duration kStartTimeout = 60s;
inline constexpr Clock::duration kExitTimeout = 20s;

class Session {
 public:
  Session(int width, int height);
  // Several monitors, the first the primary at 0,0 (see VirtualScreen).
  explicit Session(const std::vector<Rect>& monitors, Focus focus = Focus::FollowsPointer);

  // Copies a Windows program into the prefix as C:\Programs\<name>, so that whatever it
  // writes beside itself stays in the prefix; returns that Windows path.
  std::string Install(const std::string& sourcePath, const std::string& name);
  // Starts a program (Windows or Unix path) with Wine; stdout and stderr go to the log.
  Process Launch(const std::string& path, const std::vector<std::string>& args = {},
                 const std::string& locale = {});

  VirtualScreen& Screen() { return screen_; }
  XScreen& X() { return x_; }
  XInput& Input() { return input_; }
  WinePrefix& Prefix() { return prefix_; }
  const Probe& WinProbe() const { return probe_; }

 private:
  VirtualScreen screen_;
  XScreen x_;
  XInput input_;
  WinePrefix prefix_;
  Probe probe_;
};

// The session's scale (LogPixels) for every program started from now on: set for the user,
// then a new wineserver, so that the desktop starts with it. With `keep`, that server stays
// until the prefix goes, and with it the monitors' values of SetMonitorDpi. False if
// reg.exe failed.
bool SetSessionDpi(Session& s, int dpi, bool keep);
// Wine 10 keeps each monitor's DPI in a volatile registry value, which new processes read
// and every display change writes anew with the session's DPI: sets that of the monitor of
// this index (0 the primary), for a server kept by SetSessionDpi. False if there is none.
bool SetMonitorDpi(Session& s, int index, int dpi);

}  // namespace qd::e2e
