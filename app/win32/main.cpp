// Halvrenn for Windows: creates Form1 and runs the message loop until the window is closed.
// The program reads no command line.

#include <windows.h>

#include <commctrl.h>

#include "form1_window.h"
#include "resource.h"

namespace {

// IsDialogMessageW gives the window the dialog keyboard: Tab and Shift+Tab move the focus.
int RunMessageLoop(HWND window) {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  halvrenn::win32::Form1Window form;
  if (!form.Create(instance, IDI_HALVRENN, show)) return 1;
  return RunMessageLoop(form.handle());
}
