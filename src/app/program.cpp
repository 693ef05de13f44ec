#include "app/program.h"

#include "app/language.h"
#include "framework/application.h"
#include "window/UnitMain.h"

namespace qd {

int RunProgram(WindowSystem& windowSystem, SystemServices& services) {
  const TUiLanguage language = DetectUiLanguage(services);

  TApplication application(windowSystem, services);
  application.SetTitle("Quiverdart");
  TFormMain form(application, language);
  application.SetMainForm(&form);
  form.CreateWnd();
  application.Run();
  application.SetMainForm(nullptr);
  return 0;
}

}  // namespace qd
