// A console's Ctrl+C and Ctrl+Break end halvrenn-cdr without leaving a temporary file. The first
// asks the conversion to stop (and breaks off a read that waits, on a pipe or a slow file), which
// removes its file and ends with the status of an interrupt; a second removes the temporary files
// at once and ends. Closing the console, logging off and shutting down remove them before the
// system ends the program.

#include <windows.h>

#include "byte_streams.h"
#include "terminal.h"
#include "utf16_text.h"

namespace halvrenn::cli {
namespace {

std::atomic<bool>* interrupt_flag = nullptr;
HANDLE main_thread = nullptr;  // the thread that reads, whose waiting read an interrupt cancels

BOOL WINAPI OnControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (interrupt_flag->exchange(true)) {
      cdr::RemoveTemporaryFilesNow();
      ExitProcess(kInterruptedStatus);
    }
    if (main_thread != nullptr) CancelSynchronousIo(main_thread);
    return TRUE;
  }
  cdr::RemoveTemporaryFilesNow();
  return FALSE;
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
  main_thread = OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId());
  SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace halvrenn::cli
