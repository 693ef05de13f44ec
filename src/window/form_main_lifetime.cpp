// The form's start-up and shutdown: the settings are loaded and the arrow shaped when the
// window is created, and the settings saved when it is destroyed.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "framework/errors.h"
#include "model/shape.h"
#include "model/tables.h"
#include "settings/location.h"
#include "settings/settings.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

constexpr const char* kMakerFolder = "Brennavo";

bool IsHelpSwitch(const std::string& parameter) {
  return parameter.find("/?") != std::string::npos || parameter.find("-?") != std::string::npos;
}

}  // namespace

void TFormMain::FormMainOnCreate() {
  WindowSystem& ws = Ws();
  SystemServices& services = Services();

  const std::string exePath = services.ModuleFileName();
  SettingsFilePath = ResolveSettingsFilePath(services, kMakerFolder, exePath, true);
  App().SetTitle(ExeBaseNameOf(exePath));
  SetMenuCaptions(UiLanguage);
  const std::vector<std::string> parameters = services.CommandLineParams();
  const bool helpAsked = std::any_of(parameters.begin(), parameters.end(), IsHelpSwitch);
  bool helpShown = false;
  if (!services.ClaimInstance(SettingsFilePath)) {
    // One arrow per settings file: a second one would fight the first for the top, the
    // hotkey would stay with the first, and the one that ends last would overwrite the
    // other's settings. A presenter who starts the program again has lost the arrow: the
    // running one comes to the pointer, and this start leaves the file alone.
    if (helpAsked) {
      ShowHelpText();
      helpShown = true;
    }
    // The running one may be ending (closed a moment before this start, its window gone):
    // once its claim is free this start is the arrow, rather than end with nothing shown.
    bool claimed = false;
    ws.HandOver(SettingsFilePath,
                [&] { return claimed = services.ClaimInstance(SettingsFilePath); });
    if (!claimed) {
      SaveSettingsAtExit = false;
      App().Terminate();
      return;
    }
  }

  const TRect workArea = ws.GetWorkArea();
  const std::int32_t workAreaWidth = workArea.right - workArea.left;
  const std::int32_t workAreaHeight = workArea.bottom - workArea.top;
  ReadMonitors();
  SettingsLoadResult loaded =
      LoadSettings(services, SettingsFilePath, workAreaWidth, workAreaHeight, Monitors);
  Settings = std::move(loaded.settings);
  ColorDialog.CustomColors = Settings.CustomColors;
  if (loaded.readFailed) {
    // Start with the defaults, and keep the unreadable file as it is at the end.
    SaveSettingsAtExit = false;
    ws.ShowMessageBox(NativeWindow{},
                      "Cannot open file \"" + SettingsFilePath + "\". " + loaded.error,
                      App().Title(), MessageKind::Error);
  }

  PopupMenuEscTerminates.Checked = Settings.EscTerminates;
  SetExitShortcut(Settings.EscTerminates);
  if (Settings.ColorIndex != -1) {
    SetColor(ColorPalette[static_cast<std::size_t>(Settings.ColorIndex)]);
  }
  // The unit is the primary work area's; on a monitor of another scale the arrow is drawn
  // larger or smaller by that scale over the primary's.
  BaseUnit = BaseUnitFor(workAreaWidth, workAreaHeight);
  FollowScales();
  PreviousSize = Settings.Size;
  CurrentAlphaIndex = Settings.AlphaBlendIndex;
  // Chosen before the first opacity, which would otherwise tie the window to a region.
  SmoothEdges = loaded.smoothEdges;
  if (SmoothEdges) {
    UseImageMode();
  }
  const std::uint8_t alpha = AlphaTable[static_cast<std::size_t>(CurrentAlphaIndex)];
  SetAlphaBlendValue(alpha);
  SetAlphaBlend(alpha < 255);

  BuildPointerShape();
  BeforeFirstShow = false;

  App().RegisterCursor(HandFlat, ws.LoadCursorResource("HandFlat"));
  App().RegisterCursor(HandGrab, ws.LoadCursorResource("HandGrab"));

  ws.AnswerHandOvers(Handle(), SettingsFilePath);
  if (helpAsked && !helpShown) {
    ShowHelpText();
  }
  RegisterArrowHotKey(loaded.arrowToPointer);
  SavedSettings = SettingsAsSaved();
}

PointerSettings TFormMain::SettingsAsSaved() const {
  PointerSettings saved = Settings;
  saved.ColorIndex = PaletteIndexOf(Settings.Color);
  saved.CustomColors = ColorDialog.CustomColors;
  return saved;
}

void TFormMain::SettingsMayHaveChanged() {
  if (!SaveSettingsAtExit || !HandleAllocated() || SettingsAsSaved() == SavedSettings) {
    return;
  }
  // One timer for a run of changes, not one per change: it waits an interval more for
  // each interval that saw one.
  if (TimerSaveSettings.Enabled()) {
    ChangedSinceSaveTimer = true;
    return;
  }
  try {
    TimerSaveSettings.SetEnabled(true);
  } catch (const EOutOfResources&) {
    // Without a timer the settings are saved at the end, as ever.
  }
}

void TFormMain::TimerSaveSettingsOnTimer() {
  // A change while a failed save waits to be tried again does not put the try off.
  if (std::exchange(ChangedSinceSaveTimer, false) && TimerSaveSettings.Interval() == kSaveDelayMs) {
    return;
  }
  TimerSaveSettings.SetEnabled(false);
  SaveQuietly();
}

void TFormMain::SaveQuietly() {
  const PointerSettings current = SettingsAsSaved();
  if (!SaveSettingsAtExit || current == SavedSettings) {
    return;
  }
  if (!SaveSettings(Services(), SettingsFilePath, current)) {
    SavedSettings = current;
    TimerSaveSettings.SetInterval(kSaveDelayMs);
    return;
  }
  // A box now would stand in front of the audience. A virus scanner or a sync tool may hold
  // the file for a moment: tried again, without a box, so that a crash or a flat battery
  // meanwhile does not lose the change; the end tries once more and tells.
  TimerSaveSettings.SetInterval(std::min(TimerSaveSettings.Interval() * 2, kSaveRetryMaxMs));
  try {
    TimerSaveSettings.SetEnabled(true);
  } catch (const EOutOfResources&) {
    // Without a timer the end tries again, as ever.
  }
}

void TFormMain::OnSuspend() {
  TimerSaveSettings.SetEnabled(false);
  ChangedSinceSaveTimer = false;
  SaveQuietly();
}

void TFormMain::FormMainOnDestroy() {
  UnregisterArrowHotKey();
  if (!SaveSettingsAtExit) {
    return;
  }
  const auto error = SaveSettings(Services(), SettingsFilePath, SettingsAsSaved());
  // At a session end a box would hold up the shutdown ("this app is preventing shutdown");
  // Windows may end the process at any moment anyway.
  if (error && !EndingSession()) {
    // The system's message alone ("Access denied") does not say what failed.
    Ws().ShowMessageBox(NativeWindow{}, "Cannot write file \"" + SettingsFilePath + "\". " + *error,
                        App().Title(), MessageKind::Error);
  }
}

}  // namespace qd
