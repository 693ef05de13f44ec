// Whether the arrow goes back on top: a new foreground window of another program that
// covers it, a look a moment after the arrow took the keyboard, or the arrow moved or
// resized under a window that went on top while the two were apart, puts it back on top, a
// few times a round at most (RaiseLimiter); once refused, one look when the round ends.
// Never above the system's own surfaces, a click-through window or a full-screen game.
#pragma once

#include "framework/raise_limiter.h"
#include "framework/win32/win32.h"

namespace qd::win32 {

class KeepOnTop {
 public:
  KeepOnTop() = default;
  KeepOnTop(const KeepOnTop&) = delete;
  KeepOnTop& operator=(const KeepOnTop&) = delete;
  ~KeepOnTop();

  void SetWindows(HWND appWindow, HWND arrow);
  // The message loop starts: the foreground hook on.
  void Start();
  // The arrow took the keyboard: a show may answer by putting itself on top, which no event
  // of its own reports.
  void Activated() { LookSoon(nullptr); }
  // The arrow moved or changed its size (a drag, a turn, its monitor gone): a window that
  // went on top while the two were apart (a show started on the other monitor) may cover it.
  void Moved() { LookSoon(nullptr); }
  // Its timer on the arrow; whether the tick was that one.
  bool OnTimer(UINT_PTR timerId);

 private:
  static void CALLBACK ForegroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window,
                                         LONG objectId, LONG childId, DWORD thread, DWORD time);
  // A look now and another a moment later; `named`: the window an event named, judged
  // alone; none: whatever covers the arrow.
  void LookSoon(HWND named);
  void Look(HWND named);
  bool FullScreenGame();

  using QueryNotificationStateFn = HRESULT(WINAPI*)(int*);

  HWND appWindow_ = nullptr;
  HWND arrow_ = nullptr;
  HWINEVENTHOOK foregroundHook_ = nullptr;
  // The window the next timed look judges alone, or none.
  HWND lookFor_ = nullptr;
  RaiseLimiter raises_;
  bool shellLoaded_ = false;
  QueryNotificationStateFn queryNotificationState_ = nullptr;
};

}  // namespace qd::win32
