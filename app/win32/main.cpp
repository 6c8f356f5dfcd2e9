// The self-extractor's entry on Windows: restricts the DLL search, prepares COM and the
// common controls, makes the window, connects the window logic and the engine's questions,
// and runs the message loop. It takes no command-line arguments.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/application.h"
#include "app/win32/main_window.h"
#include "app/win32/message_dialogs.h"
#include "app/win32/system_library.h"

namespace {

using InitCommonControlsExFunction = BOOL WINAPI(const INITCOMMONCONTROLSEX*);

void InitCommonControlsFromSystemFolder() {
  static auto* const init = SystemFunctionAs<InitCommonControlsExFunction>(L"comctl32.dll", "InitCommonControlsEx");
  if (init == nullptr) return;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  init(&controls);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();
  // The folder dialog's newer style needs a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  InitCommonControlsFromSystemFolder();

  int exitCode = 0;
  {
    TMainWindow window(instance);
    TWin32Questions questions;
    questions.SetOwner(window.Handle());
    QPSetUserQuestions(&questions);
    TApplication application(window);
    TForm1& form = application.CreateForm();
    window.Connect(application, form);
    window.Show();
    exitCode = window.Run();
    QPSetUserQuestions(nullptr);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
