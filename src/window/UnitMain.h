// The pointer window: TFormMain, its components, its handlers and the routines they call,
// and its run-time state. The members are defined in the form_main_*.cpp files named for
// what they hold; UnitMain.cpp holds the window's definition.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/components.h"
#include "framework/forms.h"
#include "model/placement.h"
#include "model/pointer_settings.h"
#include "model/shape.h"
#include "model/smooth_edges.h"
#include "window/ui_language.h"

namespace qd {

// How long the settings are left alone before they are saved while the program runs.
inline constexpr unsigned kSaveDelayMs = 2000;
// A save that failed while the program runs is tried again, each time after twice as long,
// at most this long apart.
inline constexpr unsigned kSaveRetryMaxMs = 60000;

// The form's timers, by the ids their ticks come with.
inline constexpr unsigned kTimerDrawBorderId = 1;
inline constexpr unsigned kTimerMouseMoveHoldOffId = 2;
inline constexpr unsigned kTimerSaveSettingsId = 3;

// Cursor identifiers registered at start-up.
inline constexpr TCursor HandFlat = 1;
inline constexpr TCursor HandGrab = 2;

// Cursor zones of the mouse within the window's bounding rectangle: 1 to 8 are the strips
// and corners along the edges.
inline constexpr std::uint8_t kZoneNone = 0;
inline constexpr std::uint8_t kZoneInner = 13;
// How wide the strips along the edges are on the primary monitor.
inline constexpr std::int32_t kZoneMargin = 8;
// The most pixels a smooth-edged arrow's image may have: 2^24, 64 MiB at four bytes each,
// which the system may copy once more, in a 32-bit process. Size 24 on a 3840 x 2160
// primary (about 11 million) stays within; on a monitor of a higher scale than the primary
// the largest sizes do not, and are drawn with sharp edges instead.
inline constexpr std::int64_t kSmoothImagePixelBudget = std::int64_t{1} << 24;

class TFormMain final : public TForm {
 public:
  explicit TFormMain(TApplication& application, TUiLanguage language = TUiLanguage::English);
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  // Zone code for window-relative X, Y in a window of the given size: 1 to 8 for the
  // strips and corners within `margin` pixels of the edges (8 on the primary monitor),
  // kZoneInner for the inner area; 1 whenever the Shift key is down. Never kZoneNone.
  static std::uint8_t ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
                                        std::int32_t width, std::int32_t height,
                                        std::int32_t margin = kZoneMargin);
  // Opacity value of an index for the fades and steps: at least 2, at most 255.
  static std::uint8_t StepAlphaValue(std::int32_t index);

 private:
  // Start-up and shutdown: form_main_lifetime.cpp.
  void FormMainOnCreate() override;
  void FormMainOnDestroy() override;
  // The settings as the file would hold them now.
  [[nodiscard]] PointerSettings SettingsAsSaved() const;
  // After anything that may have changed the settings: they are saved once the user has
  // left them alone for a while, so that a crash, a kill or a dead battery loses little.
  void SettingsMayHaveChanged();
  // Saves what changed since the last save, without a box: a failure is tried again later,
  // and at the end, which reports it.
  void SaveQuietly();
  void TimerSaveSettingsOnTimer();
  void OnSuspend() override;

  // Monitors and the hotkey: form_main_screens.cpp.
  void FormMainOnDisplayChange() override;
  void FormMainOnHotKey(int HotKeyId) override;
  // A second start with the same settings file: this arrow is the one it wanted.
  void FormMainOnHandOver() override;
  // The arrow's tip to the mouse pointer, in front and visible; not over an open menu or
  // box, nor into the middle of a colour pick.
  void ArrowToPointer();
  // The window's bounds as the system has them: a move the program did not make takes the
  // tip along.
  void OnBoundsChanged(int left, int top, int width, int height, MovedBy by) override;
  // The box that reports a failed handler is open as long as a menu's: the hotkey waits.
  void OnHandlerError(const char* text) override;
  // The hotkey as the settings file's value has it (none: the default), with a message for
  // a value that cannot be read.
  void RegisterArrowHotKey(const std::optional<std::string>& value);
  void UnregisterArrowHotKey();
  // The monitors' scales: read afresh, and the arrow redrawn for its monitor's.
  void OnDpiChanged() override;
  // After the monitors were read afresh: the arrow redrawn where its scale is no longer
  // `before`, around the pointer inside a drag step.
  void FollowNewScales(double before);
  // The monitors and their DPIs as the system lists them now.
  void ReadMonitors();
  // Dpis for the monitors as last listed, the tip and a drag step's pointer
  // (ArrowDpisFor); true when the arrow's changed.
  bool FollowScales();
  // What the arrow's pixels are drawn at: its monitor's scale over the primary's.
  [[nodiscard]] double ArrowScale() const;

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
  // The arrow cut into the window's region and painted; `build` is the build it is part of.
  void BuildSharpShape(unsigned build, double scale);
  void PaintPointer();
  // The arrow's colour, Settings.Color: a new value repaints, the same value does nothing.
  [[nodiscard]] TColor Color() const { return Settings.Color; }
  void SetColor(TColor color);
  void PaintSharpPointer();
  void FormMainOnPaint(Canvas& canvas) override;
  // Draws the arrow's contrasting rim on a canvas.
  void DrawPointerRim(Canvas& canvas);
  void TimerDrawBorderOnTimer();
  // Smooth edges: the window shows the arrow as an image with alpha per pixel, drawn and
  // shown in one step with the window's place and size; false where this size is drawn with
  // sharp edges instead (past the pixel budget, or the system refused the image or its
  // showing). `build` is the build it is part of.
  bool BuildSmoothShape(unsigned build);
  // Draws the arrow into the window's image when the outline or the colour differ from its
  // last drawing.
  enum class SmoothImage : std::uint8_t { Unchanged, Drawn, Failed };
  SmoothImage DrawSmoothImage();
  // This size with sharp edges: the window leaves its image, which is drawn anew next time.
  void ShowSharpInstead();
  // The timers' ticks, to their handlers.
  void OnTimer(unsigned timerId) override;

  // Opacity and fades: form_main_opacity.cpp.
  void FadeOut();
  void FadeIn();
  // The pause that ends a fade's step begun at stepStart (a TickCount reading).
  void FadeStepPause(std::uint32_t stepStart);
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
  TTimer TimerDrawBorder{*this, kTimerDrawBorderId};
  TTimer TimerMouseMoveHoldOff{*this, kTimerMouseMoveHoldOffId};
  TColorDialog ColorDialog{*this};
  TMenuItem PopupMenuEscTerminates{*this};
  TTimer TimerSaveSettings{*this, kTimerSaveSettingsId};

  // --- state ---

  const TUiLanguage UiLanguage;
  // Loaded at start, saved at the end; the live values, the colour included.
  PointerSettings Settings;
  std::string SettingsFilePath;
  // The arrow is drawn with smooth edges (an image with alpha per pixel) where its size
  // allows; with sharp ones (a region and a paint) otherwise.
  bool SmoothEdges = false;
  // False when the settings file could not be read at start: it is then not written over
  // at the end.
  bool SaveSettingsAtExit = true;
  // What the file holds as far as the program knows: loaded at start, or saved since.
  PointerSettings SavedSettings;
  // A change came while the save timer ran: it waits one more interval.
  bool ChangedSinceSaveTimer = false;
  // Pixels per arrow unit at size 1, from the work area at start.
  std::int32_t BaseUnit = 1;

  // The last shape built, and the size it was built for.
  PointerGeometry Geometry;
  std::int32_t PreviousSize = 0;
  // What the smooth image was last drawn for.
  struct SmoothImageSource {
    std::array<TPoint, 8> polygon;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t size = 0;
    TColor color = 0;
    friend bool operator==(const SmoothImageSource&, const SmoothImageSource&) = default;
  };
  std::optional<SmoothImageSource> SmoothImageDrawn;
  // The smooth image's coverage, kept so that a new colour is painted without covering anew.
  SmoothArrowCoverage SmoothCoverage;
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
  // Cursor (screen), window position, tip position and the arrow's DPI at the last left
  // press; the window position is moved on where a change of scale resized the arrow.
  TPoint DragStartCursor;
  TPoint DragStartWindow;
  TPoint DragStartTip;
  std::uint32_t DragStartDpi = 96;
  // The pointer while a drag step runs: the point the arrow is resized around then.
  std::optional<TPoint> DragStepCursor;
  // Where a drag step finds the pointer on a monitor of another scale: the arrow resized
  // around it.
  void RescaleDragged(TPoint cursor);
  // The tip for a drag's pointer position: the grabbed point stays under the pointer at
  // every scale, and coming back to the press's scale gives back the press's offset.
  [[nodiscard]] TPoint DraggedTip(TPoint cursor) const;

  // The monitors as last listed, and the DPIs the arrow is drawn for (model/placement.h).
  std::vector<MonitorInfo> Monitors;
  ArrowDpis Dpis;
  double PreviousScale = 1.0;
  // Counts shape builds: a build whose window move let a change of scale build the shape
  // anew leaves the window to that newer build.
  unsigned ShapeBuilds = 0;
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
