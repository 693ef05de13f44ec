// Whether the arrow goes back on top: a new foreground window of another program that
// covers it, looks a moment after the arrow took the keyboard (and later, while a top-most
// window lies under it), or the arrow moved or resized under a window that went on top
// while the two were apart, puts it back on top, a few times a round at most
// (RaiseLimiter); once refused, one look when the round ends.
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
  void Activated() { LookSoon(nullptr, true); }
  // The arrow moved or changed its size (a drag, a turn, its monitor gone): a window that
  // went on top while the two were apart (a show started on the other monitor) may cover it.
  void Moved() { LookSoon(nullptr, false); }
  // Its timer on the arrow; whether the tick was that one.
  bool OnTimer(UINT_PTR timerId);

 private:
  static void CALLBACK ForegroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window,
                                         LONG objectId, LONG childId, DWORD thread, DWORD time);
  // A look now and another a moment later; `thenLater`: later ones too while another
  // program's top-most window lies under the arrow. `named`: the window an event named,
  // judged alone; none: whatever covers the arrow.
  void LookSoon(HWND named, bool thenLater);
  // Whether a top-most window lies over or under the arrow that may go above it again;
  // raised above it if it covers the arrow and the round allows.
  bool Look(HWND named);
  bool FullScreenGame();

  using QueryNotificationStateFn = HRESULT(WINAPI*)(int*);

  HWND appWindow_ = nullptr;
  HWND arrow_ = nullptr;
  HWINEVENTHOOK foregroundHook_ = nullptr;
  // The window the next timed look judges alone, or none; the look after it, by its delay.
  HWND lookFor_ = nullptr;
  int nextLook_ = 0;
  RaiseLimiter raises_;
  bool shellLoaded_ = false;
  QueryNotificationStateFn queryNotificationState_ = nullptr;
};

}  // namespace qd::win32
