#include <signal.h>
#include <unistd.h>

#include "terminal.h"

namespace halvrenn::cli {
namespace {

std::atomic<bool>* interrupt_flag = nullptr;

extern "C" void OnInterrupt(int) {
  if (interrupt_flag->exchange(true)) _exit(130);
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
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read waiting on a terminal returns
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace halvrenn::cli
