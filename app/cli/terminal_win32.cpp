#include <windows.h>

#include "terminal.h"
#include "utf16_text.h"

namespace halvrenn::cli {
namespace {

std::atomic<bool>* interrupt_flag = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (interrupt_flag->exchange(true)) ExitProcess(130);
  return TRUE;
}

}  // namespace

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void WriteStandardError(std::string_view text) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Utf16FromUtf8(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

void CancelOnInterrupt(std::atomic<bool>& cancel) {
  interrupt_flag = &cancel;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace halvrenn::cli
