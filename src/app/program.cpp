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
  if (!form.HandleAllocated()) {
    // Without its window the program has nothing to show and no task-bar entry that could
    // end it.
    application.ShowError("Cannot create the window.");
    application.SetMainForm(nullptr);
    return 1;
  }
  application.Run();
  application.SetMainForm(nullptr);
  return 0;
}

}  // namespace qd
