// The pointer window: TFormMain, its components, the event wiring, and the routines that
// shape, paint and fade it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/components.h"
#include "framework/forms.h"

namespace qd {

// Cursor identifiers registered at start-up.
inline constexpr TCursor HandFlat = 1;
inline constexpr TCursor HandGrab = 2;

class TFormMain : public TForm {
 public:
  explicit TFormMain(TApplication& application);
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

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

  // Event handlers.
  void FormMainOnCreate(TObject* Sender);
  void FormMainOnDestroy(TObject* Sender);
  void FormMainOnMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FormMainOnMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void FormMainOnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void FormMainOnKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift);
  void FormMainOnMouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos,
                            bool& Handled);
  void FormMainOnKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift);
  void FormMainOnKeyPress(TObject* Sender, char& Key);
  void FormMainOnDblClick(TObject* Sender);
  void FormMainOnContextPopup(TObject* Sender, TPoint MousePos, bool& Handled);
  void PopupMenuOnPopup(TObject* Sender);
  void PopupMenuHelpOnClick(TObject* Sender);
  void PopupMenuColorOnClick(TObject* Sender);
  void PopupMenuLockSettingsOnClick(TObject* Sender);
  void PopupMenuEscTerminatesOnClick(TObject* Sender);
  void PopupMenuTerminateOnClick(TObject* Sender);
  void TimerDrawBorderOnTimer(TObject* Sender);
  void TimerMouseMoveHoldOffOnTimer(TObject* Sender);

  // False when the settings file could not be read at start: it is then not written over
  // at the end.
  bool SaveSettingsAtExit = true;
};

extern TFormMain* FormMain;

// Shape, paint and opacity routines over the pointer state and FormMain.
void BuildPointerShape();
void PaintPointer();
// Draws the arrow's contrasting rim on a canvas.
void DrawPointerRim(Canvas& canvas);
bool Delay(std::uint16_t milliseconds);
void FadeOut();
void FadeIn();
void ApplicationOnRestore(TObject* Sender);
// Opacity value of an index for the fades and steps: at least 2, at most 255.
std::uint8_t StepAlphaValue(std::int32_t index);

}  // namespace qd
