// The form's start-up and shutdown: the settings are loaded and the arrow shaped when the
// window is created, and the settings saved when it is destroyed.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

  const TRect workArea = ws.GetWorkArea();
  const std::int32_t workAreaWidth = workArea.right - workArea.left;
  const std::int32_t workAreaHeight = workArea.bottom - workArea.top;
  ReadMonitors();
  SettingsLoadResult loaded =
      LoadSettings(services, SettingsFilePath, workAreaWidth, workAreaHeight, Monitors);
  Settings = std::move(loaded.settings);
  SetColor(Settings.Color);
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
  ArrowDpi = PrimaryDpi;
  FollowScaleAt({Settings.TipPosX, Settings.TipPosY});
  PreviousSize = Settings.Size;
  CurrentAlphaIndex = Settings.AlphaBlendIndex;
  // Chosen before the first opacity, which would otherwise tie the window to a region.
  if (loaded.smoothEdges) {
    UseImageMode();
  }
  const std::uint8_t alpha = AlphaTable[static_cast<std::size_t>(CurrentAlphaIndex)];
  SetAlphaBlendValue(alpha);
  SetAlphaBlend(alpha < 255);

  BuildPointerShape();
  BeforeFirstShow = false;

  App().RegisterCursor(HandFlat, ws.LoadCursorResource("HandFlat"));
  App().RegisterCursor(HandGrab, ws.LoadCursorResource("HandGrab"));

  const std::vector<std::string> parameters = services.CommandLineParams();
  if (std::any_of(parameters.begin(), parameters.end(), IsHelpSwitch)) {
    ShowHelpText();
  }
  RegisterArrowHotKey(loaded.arrowToPointer);
}

void TFormMain::FormMainOnDestroy() {
  UnregisterArrowHotKey();
  Settings.Color = Color();
  Settings.ColorIndex = PaletteIndexOf(Color());
  Settings.CustomColors = ColorDialog.CustomColors;
  if (!SaveSettingsAtExit) {
    return;
  }
  if (const auto error = SaveSettings(Services(), SettingsFilePath, Settings)) {
    // The system's message alone ("Access denied") does not say what failed.
    Ws().ShowMessageBox(NativeWindow{}, "Cannot write file \"" + SettingsFilePath + "\". " + *error,
                        App().Title(), MessageKind::Error);
  }
}

}  // namespace qd
