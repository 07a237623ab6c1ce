// A console's Ctrl+C and Ctrl+Break end halvrenn-cdr without leaving a temporary file. The first
// asks the conversion to stop (and breaks off a read that waits, on a pipe or a slow file), which
// removes its file and ends with the status of an interrupt, saying so. Where the system cannot
// break the read off, the program ends itself after a moment, with the same words; a second
// interrupt does that at once. Closing the console, logging off and shutting down remove the
// temporary files before the system ends the program.

#include <windows.h>

#include <mutex>

#include "cdr/files/temporary_files.h"
#include "exit_status.h"
#include "terminal.h"
#include "time/utf16_text.h"

namespace halvrenn::cli {
namespace {

// How long the first interrupt waits for the conversion to stop by itself: it checks the flag
// between reads and blocks, far more often than this.
constexpr DWORD kMomentMilliseconds = 500;

std::atomic<bool>* interrupt_flag = nullptr;
HANDLE main_thread = nullptr;  // the thread that reads, whose waiting read an interrupt cancels
std::mutex message_mutex;
std::string interrupted_message;

// The handler runs on a thread of its own, which the system creates for it.
BOOL WINAPI OnControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (!interrupt_flag->exchange(true)) {
      if (main_thread != nullptr) CancelSynchronousIo(main_thread);
      // The program ends while this waits, when the conversion stops in time.
      Sleep(kMomentMilliseconds);
    }
    cdr::RemoveTemporaryFilesNow();
    {
      const std::lock_guard lock(message_mutex);
      WriteStandardError(interrupted_message);
    }
    ExitProcess(kInterruptedStatus);
  }
  cdr::RemoveTemporaryFilesNow();
  return FALSE;
}

}  // namespace

void WhenInterrupted(std::string message) {
  const std::lock_guard lock(message_mutex);
  interrupted_message = std::move(message);
}

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
