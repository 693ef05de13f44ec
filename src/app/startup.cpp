#include <algorithm>
#include <string>

#include "app/language.h"
#include "app/program.h"
#include "framework/strings.h"
#include "model/pointer_state.h"
#include "model/shape.h"
#include "model/tables.h"
#include "settings/location.h"
#include "settings/settings.h"
#include "window/UnitMain.h"
#include "window/menu.h"

namespace qd {

namespace {

constexpr char kMakerFolder[] = "Brennavo";

bool IsHelpSwitch(const std::string& parameter) {
  return parameter.find("/?") != std::string::npos || parameter.find("-?") != std::string::npos;
}

}  // namespace

void TFormMain::FormMainOnCreate(TObject* /*Sender*/) {
  PointerState& s = Pointer;
  WindowSystem& ws = Ws();
  SystemServices& services = Services();

  s.ExePath = services.ModuleFileName();
  s.ExeBaseName = ExeBaseNameOf(s.ExePath);
  s.SettingsFilePath = ResolveSettingsFilePath(services, kMakerFolder, s.ExePath, true);
  App().SetTitle(s.ExeBaseName);
  App().OnRestore = ApplicationOnRestore;
  SetMenuCaptions(s.UiLanguage);

  const TRect workArea = ws.GetWorkArea();
  s.WorkAreaWidth = workArea.right - workArea.left;
  s.WorkAreaHeight = workArea.bottom - workArea.top;
  s.DefaultTipPosX = s.WorkAreaWidth / 2;
  s.DefaultTipPosY = s.WorkAreaHeight / 2;
  FillBasePolygon(s);
  FillScaleTable(s);
  s.DefaultCustomColor = IntToHex(0x1FFFFFFF, 6);

  TColor color = Color();
  const SettingsLoadResult loaded = LoadSettings(services, color, ColorDialog.CustomColors);
  SetColor(color);
  if (loaded.readFailed) {
    // Start with the defaults, and keep the unreadable file as it is at the end.
    SaveSettingsAtExit = false;
    ws.ShowMessageBox(NativeWindow{},
                      "Cannot open file \"" + s.SettingsFilePath + "\". " + loaded.error,
                      App().Title(), MessageKind::Error);
  }

  PopupMenuEscTerminates.Checked = s.EscTerminates;
  SetExitShortcut(s.EscTerminates);
  if (s.ColorIndex != -1) {
    SetColor(ColorPalette[static_cast<std::size_t>(s.ColorIndex)]);
  }
  s.BaseUnit = BaseUnitFor(s.WorkAreaWidth, s.WorkAreaHeight);
  s.PreviousSize = s.Size;
  s.AlphaBlendIndex = s.CurrentAlphaIndex;
  const std::uint8_t alpha = AlphaTable[static_cast<std::size_t>(s.CurrentAlphaIndex)];
  SetAlphaBlendValue(alpha);
  SetAlphaBlend(alpha < 255);

  BuildPointerShape();

  App().RegisterCursor(HandFlat, ws.LoadCursorResource("HandFlat"));
  App().RegisterCursor(HandGrab, ws.LoadCursorResource("HandGrab"));

  const std::vector<std::string> parameters = services.CommandLineParams();
  if (std::any_of(parameters.begin(), parameters.end(), IsHelpSwitch)) {
    ShowHelpText();
  }
}

void TFormMain::FormMainOnDestroy(TObject* /*Sender*/) {
  Pointer.ColorIndex = PaletteIndexOf(Color());
  if (!SaveSettingsAtExit) {
    return;
  }
  if (const auto error = SaveSettings(Services(), Color(), ColorDialog.CustomColors)) {
    // The system's message alone ("Access denied") does not say what failed.
    Ws().ShowMessageBox(NativeWindow{},
                        "Cannot write file \"" + Pointer.SettingsFilePath + "\". " + *error,
                        App().Title(), MessageKind::Error);
  }
}

int RunProgram(WindowSystem& windowSystem, SystemServices& services) {
  DetectUiLanguage(services);

  TApplication application(windowSystem, services);
  Application = &application;
  application.SetTitle("Quiverdart");
  {
    TFormMain form(application);
    FormMain = &form;
    application.SetMainForm(&form);
    form.CreateWnd();
    application.Run();
    application.SetMainForm(nullptr);
  }
  Application = nullptr;
  return 0;
}

}  // namespace qd
