// The pointer window: TFormMain, its components, its handlers and the routines they call,
// and its run-time state. The members are defined in the form_main_*.cpp files named for
// what they hold; UnitMain.cpp holds the window's definition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/components.h"
#include "framework/forms.h"
#include "model/pointer_settings.h"
#include "model/shape.h"
#include "window/ui_language.h"

namespace qd {

// Cursor identifiers registered at start-up.
inline constexpr TCursor HandFlat = 1;
inline constexpr TCursor HandGrab = 2;

// Cursor zones of the mouse within the window's bounding rectangle: 1 to 8 are the strips
// and corners along the edges.
inline constexpr std::uint8_t kZoneNone = 0;
inline constexpr std::uint8_t kZoneInner = 13;

class TFormMain final : public TForm {
 public:
  explicit TFormMain(TApplication& application, TUiLanguage language = TUiLanguage::English);
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  // Zone code for window-relative X, Y in a window of the given size: 1 to 8 for the
  // strips and corners within 8 pixels of the edges, kZoneInner for the inner area; 1
  // whenever the Shift key is down. Never kZoneNone.
  static std::uint8_t ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
                                        std::int32_t width, std::int32_t height);
  // Opacity value of an index for the fades and steps: at least 2, at most 255.
  static std::uint8_t StepAlphaValue(std::int32_t index);

 private:
  // Start-up and shutdown: form_main_lifetime.cpp.
  void FormMainOnCreate() override;
  void FormMainOnDestroy() override;

  // Monitors and the hotkey: form_main_screens.cpp.
  void FormMainOnDisplayChange() override;
  void FormMainOnHotKey(int HotKeyId) override;
  // The window's bounds as the system has them: a move the program did not make takes the
  // tip along.
  void OnBoundsChanged(int left, int top, int width, int height, MovedBy by) override;
  // The box that reports a failed handler is open as long as a menu's: the hotkey waits.
  void OnHandlerError(const char* text) override;
  // The hotkey as the settings file's value has it (none: the default), with a message for
  // a value that cannot be read.
  void RegisterArrowHotKey(const std::optional<std::string>& value);
  void UnregisterArrowHotKey();

  // Mouse, wheel, double-click and the hold-off: form_main_mouse.cpp.
  void FormMainOnMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FormMainOnMouseMove(TShiftState Shift, int X, int Y) override;
  void FormMainOnMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FormMainOnMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  void FormMainOnDblClick() override;
  void TimerMouseMoveHoldOffOnTimer();
  // The system took the mouse during a press (Alt+Tab, a secure desktop, another program):
  // the press ends where the arrow is.
  void OnCaptureLost() override;
  // A move handled now: the cursor zone and hand, and the drag.
  void HandleMouseMove(TShiftState Shift, int X, int Y);

  // Keys: form_main_keys.cpp.
  void FormMainOnKeyDown(std::uint16_t Key, TShiftState Shift) override;
  void FormMainOnKeyUp(std::uint16_t Key, TShiftState Shift) override;
  void FormMainOnKeyPress(char Key) override;

  // The context menu and the help: form_main_menu.cpp.
  void FormMainOnContextPopup(TPoint MousePos) override;
  void PopupMenuOnPopup();
  void PopupMenuHelpOnClick();
  void PopupMenuColorOnClick();
  void PopupMenuLockSettingsOnClick();
  void PopupMenuEscTerminatesOnClick();
  void PopupMenuTerminateOnClick();
  void SetMenuCaptions(TUiLanguage language);
  // Esc when Esc ends the program, else Alt+F4.
  void SetExitShortcut(bool escTerminates);
  // The help action: the help text in the plain message dialog.
  void ShowHelpText();

  // The arrow's shape and paint: form_main_shape.cpp.
  void BuildPointerShape();
  void PaintPointer();
  void FormMainOnPaint(Canvas& canvas) override;
  // Draws the arrow's contrasting rim on a canvas.
  void DrawPointerRim(Canvas& canvas);
  void TimerDrawBorderOnTimer();
  // The timers' ticks, to their handlers.
  void OnTimer(unsigned timerId) override;

  // Opacity and fades: form_main_opacity.cpp.
  void FadeOut();
  void FadeIn();
  void ApplicationOnRestore() override;
  // Blocks for one millisecond less than asked on a waitable timer; false for 0 or when
  // the timer fails.
  bool Delay(std::uint16_t milliseconds);

  // Components, in their declared order.
  TPopupMenu PopupMenu{*this};
  TMenuItem PopupMenuHelp{*this};
  TMenuItem PopupMenuColor{*this};
  TMenuItem PopupMenuLockSettings{*this};
  TMenuItem PopupMenuTerminate{*this};
  TTimer TimerDrawBorder{*this, 1};
  TTimer TimerMouseMoveHoldOff{*this, 2};
  TColorDialog ColorDialog{*this};
  TMenuItem PopupMenuEscTerminates{*this};

  // --- state ---

  const TUiLanguage UiLanguage;
  // Loaded at start, saved at the end.
  PointerSettings Settings;
  std::string SettingsFilePath;
  // False when the settings file could not be read at start: it is then not written over
  // at the end.
  bool SaveSettingsAtExit = true;
  // Pixels per arrow unit at size 1, from the work area at start.
  std::int32_t BaseUnit = 1;

  // The last shape built, and the size it was built for.
  PointerGeometry Geometry;
  std::int32_t PreviousSize = 0;
  // False while a shape is being built: mouse moves are ignored then.
  bool ShapeReady = false;
  // Until the window is first shown (the end of FormMainOnCreate) nothing of a reshape can
  // show, so translucency is not switched off and on around it: under Wine each switch
  // costs the start a round of style changes before the window is mapped.
  bool BeforeFirstShow = true;

  // The opacity index shown; Settings.AlphaBlendIndex is the one to return to.
  std::int32_t CurrentAlphaIndex = 0;
  bool FadedOut = false;

  bool HotKeyRegistered = false;
  // Menus, boxes and the colour pick open; the hotkey waits for none of them and does
  // nothing while one is.
  int ModalMoments = 0;
  // Counts a modal moment for as long as it lives.
  class ModalMoment {
   public:
    explicit ModalMoment(TFormMain& form) : form_(form) { ++form_.ModalMoments; }
    ~ModalMoment() { --form_.ModalMoments; }
    ModalMoment(const ModalMoment&) = delete;
    ModalMoment& operator=(const ModalMoment&) = delete;

   private:
    TFormMain& form_;
  };

  std::uint8_t CursorZone = kZoneNone;
  std::uint8_t LastCursorZone = kZoneNone;
  // Cursor (screen), window position and tip position at the last left press.
  TPoint DragStartCursor;
  TPoint DragStartWindow;
  TPoint DragStartTip;
  // The last drag move that came during the hold-off: applied when the hold-off ends or
  // at the release, so the arrow lands where the button came up.
  struct HeldMove {
    TShiftState shift;
    int x;
    int y;
  };
  std::optional<HeldMove> HeldDragMove;
  // The mouse was taken mid-press: a still-held button no longer drags until a new press.
  bool PressLost = false;
};

}  // namespace qd
