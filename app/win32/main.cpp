// Halvrenn for Windows: creates Form1 and runs the message loop until the window is closed.
// Files named on the command line ("Open with", or files dropped onto Halvrenn.exe in Explorer)
// are converted as files dropped on the window are.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "resource.h"
#include "time/utf16_text.h"
#include "window/win32/form1_window.h"

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

// The command line's arguments after the program's own name, as UTF-8.
std::vector<std::string> FileArguments() {
  std::vector<std::string> files;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return files;
  for (int index = 1; index < count; ++index)
    files.push_back(halvrenn::Utf8FromUtf16(arguments[index]));
  LocalFree(arguments);
  return files;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  halvrenn::win32::Form1Window form;
  if (!form.Create(instance, IDI_HALVRENN, show)) return 1;
  const std::vector<std::string> files = FileArguments();
  if (!files.empty()) form.ConvertFiles(files);
  return RunMessageLoop(form.handle());
}
