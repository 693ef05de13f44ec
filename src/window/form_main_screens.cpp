// The arrow across monitors: brought back when its monitor goes away, drawn at the scale of
// the monitor it is on, and brought to the mouse pointer by the hotkey.
#include <string>
#include <vector>

#include "model/placement.h"
#include "model/shape.h"
#include "settings/hotkey.h"
#include "settings/settings.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

constexpr int kArrowHotKeyId = 1;

std::string MalformedHotKeyText(TUiLanguage language, const std::string& value) {
  // Appended piece by piece: GCC 12 at -O3 takes a chain of operator+ here for an
  // overlapping copy (-Wrestrict, a known false positive).
  std::string setting = "[";
  setting.append(kHotkeySection).append("] ").append(kArrowToPointerKey).append("=");
  setting += value;
  const bool german = language == TUiLanguage::German;
  std::string text = german ? "Die Einstellung \"" : "The setting \"";
  text += setting;
  text += german ? "\" ist keine g\xFCltige Tastenkombination. "
                 : "\" is not a valid key combination. ";
  text.append(kDefaultArrowToPointerText);
  text += german ? " wird verwendet." : " is used instead.";
  return text;
}

}  // namespace

void TFormMain::RegisterArrowHotKey(const std::optional<std::string>& value) {
  HotKey hotKey = kDefaultArrowToPointer;
  if (value) {
    if (const std::optional<HotKey> parsed = ParseHotKey(*value)) {
      hotKey = *parsed;
    } else {
      // Windows-1252, the value as the file has it.
      App().ShowError(MalformedHotKeyText(UiLanguage, *value));
    }
  }
  // Held by another program: the arrow works as before, without it.
  HotKeyRegistered = hotKey.key != 0 &&
                     Ws().RegisterHotKey(Handle(), kArrowHotKeyId, hotKey.modifiers, hotKey.key);
}

void TFormMain::UnregisterArrowHotKey() {
  if (HotKeyRegistered) {
    Ws().UnregisterHotKey(Handle(), kArrowHotKeyId);
    HotKeyRegistered = false;
  }
}

void TFormMain::ReadMonitors() { Monitors = Ws().GetMonitors(); }

bool TFormMain::FollowScales() {
  const std::uint32_t before = Dpis.arrow;
  Dpis = ArrowDpisFor(Monitors, {Settings.TipPosX, Settings.TipPosY}, DragStepCursor, Dpis);
  return Dpis.arrow != before;
}

double TFormMain::ArrowScale() const { return MonitorScale(Dpis.arrow, Dpis.primary); }

void TFormMain::OnDpiChanged() {
  const double before = ArrowScale();
  ReadMonitors();
  FollowNewScales(before);
}

void TFormMain::FollowNewScales(double before) {
  // Inside a drag's own move the pointer holds the grabbed point; otherwise the tip stays.
  FollowScales();
  if (ArrowScale() == before) {
    return;
  }
  if (DragStepCursor) {
    RescaleDragged(*DragStepCursor);
    return;
  }
  BuildPointerShape();
  // Between two steps of a drag (a monitor's scale set anew meanwhile), the drag goes on
  // from here.
  DragStartCursor = Ws().GetCursorPos();
  DragStartWindow = {Left(), Top()};
  DragStartTip = {Settings.TipPosX, Settings.TipPosY};
  DragStartDpi = Dpis.arrow;
}

void TFormMain::FormMainOnDisplayChange() {
  const double before = ArrowScale();
  ReadMonitors();
  const std::vector<MonitorInfo>& monitors = Monitors;
  const TPoint tip{Settings.TipPosX, Settings.TipPosY};
  // The primary's DPI as listed now; an arrow on no monitor keeps its own.
  FollowScales();
  if (MonitorAt(tip, monitors) != nullptr) {
    // A monitor put in place of another may have another scale, and so may the primary:
    // the system tells only windows on a monitor whose scale changed, not an arrow on
    // another one, whose size is taken over the primary's.
    FollowNewScales(before);
    return;
  }
  // Its monitor is gone: back onto the primary, as a start would place it. The size keeps
  // the unit measured at start.
  // Mid-change (a projector switching its input, a mode being set) the system may list no
  // monitor or an empty work area: the arrow stays put and the next change decides. Nor is
  // a tip ever put where no monitor shows it.
  const TRect workArea = Ws().GetWorkArea();
  if (workArea.right <= workArea.left || workArea.bottom <= workArea.top) {
    return;
  }
  const TPoint placed =
      PlaceTip(tip, monitors, workArea.right - workArea.left, workArea.bottom - workArea.top);
  if (MonitorAt(placed, monitors) == nullptr) {
    return;
  }
  Settings.TipPosX = placed.x;
  Settings.TipPosY = placed.y;
  FollowScales();
  BuildPointerShape();
  SettingsMayHaveChanged();
}

void TFormMain::OnBoundsChanged(int left, int top, int width, int height, MovedBy by) {
  // A move by the system (monitors rearranged, a window mostly on a removed monitor,
  // Win+Shift+arrow) took the outline along: the next rebuild and the save start from
  // where the tip now is. The program's own moves place the tip where it was meant to be,
  // even where the system reports them a pixel off: taken as a move, each rebuild would
  // push the tip on by that pixel.
  const bool moved = by == MovedBy::System && (left != Left() || top != Top());
  if (moved) {
    Settings.TipPosX += left - Left();
    Settings.TipPosY += top - Top();
  }
  TForm::OnBoundsChanged(left, top, width, height, by);
  if (moved) {
    // Taken onto a monitor of another scale, it is drawn for that one, its tip where it is.
    if (ShapeReady && FollowScales()) {
      BuildPointerShape();
    }
    SettingsMayHaveChanged();
  }
}

void TFormMain::OnHandlerError(const char* text) {
  const ModalMoment modal(*this);
  TForm::OnHandlerError(text);
}

void TFormMain::FormMainOnHotKey(int HotKeyId) {
  if (HotKeyId == kArrowHotKeyId) {
    ArrowToPointer();
  }
}

void TFormMain::FormMainOnHandOver() {
  // Over an open menu, box or colour pick the arrow stays put, as for the hotkey; what is
  // open comes to the front, so the start that asked for the program shows something.
  if (ModalMoments > 0) {
    Ws().BringOpenBoxToFront();
    return;
  }
  ArrowToPointer();
}

void TFormMain::ArrowToPointer() {
  if (ModalMoments > 0) {
    return;
  }
  const TPoint cursor = Ws().GetCursorPos();
  Settings.TipPosX = cursor.x;
  Settings.TipPosY = cursor.y;
  FollowScales();
  BuildPointerShape();
  SettingsMayHaveChanged();
  // Visible again as after a restore from the task bar, minimised or merely faded out.
  if (!Ws().RestoreApplication()) {
    ApplicationOnRestore();
  }
  Ws().RaiseWithoutActivation(Handle());
}

}  // namespace qd
