// Signals end halvrenn-cdr without leaving a temporary file. An interrupt, a termination or a
// hang-up (terminal closed, SSH dropped) first asks the conversion to stop, which removes its
// file and ends with the status of an interrupt; a second of any of them removes the temporary
// files at once and ends. The other signals that would end the program remove them and then end it
// as they would.

#include <signal.h>
#include <unistd.h>

#include "cdr/files/temporary_files.h"
#include "exit_status.h"
#include "terminal.h"

namespace halvrenn::cli {
namespace {

std::atomic<bool>* interrupt_flag = nullptr;

extern "C" void OnInterrupt(int) {
  if (interrupt_flag->exchange(true)) {
    cdr::RemoveTemporaryFilesNow();
    _exit(kInterruptedStatus);
  }
}

extern "C" void OnFatalSignal(int signal_number) {
  cdr::RemoveTemporaryFilesNow();
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);  // held back until this handler returns, then ends the program
}

void Handle(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read waiting on a terminal or a FIFO returns
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void WriteStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(STDERR_FILENO, text.data(), text.size());
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

void CancelOnInterrupt(std::atomic<bool>& cancel) {
  static_assert(std::atomic<bool>::is_always_lock_free);
  interrupt_flag = &cancel;
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) Handle(signal_number, OnInterrupt);
  for (const int signal_number :
       {SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF}) {
    Handle(signal_number, OnFatalSignal);
  }
  // A file larger than the process may write fails that write (EFBIG) and so that file alone.
  ::signal(SIGXFSZ, SIG_IGN);
}

void WhenInterrupted(std::string /*message: the conversion says it*/) {}

}  // namespace halvrenn::cli
