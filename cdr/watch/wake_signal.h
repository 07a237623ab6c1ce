#pragma once

// A signal that one side raises, from a signal handler, a control handler or another thread, and
// that a folder watch waits for beside its own events. One file per platform: a pipe on POSIX
// (folder_watch_posix.cpp), an event on Windows (folder_watch_win32.cpp).
//
// Example:
//   WakeSignal wake;
//   ...in a signal handler: wake.Raise();
//   if (wake.WaitFor(std::chrono::seconds(1))) { /* raised: stop waiting */ }

#include <chrono>
#include <cstdint>

namespace halvrenn::cdr {

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  void Raise() noexcept;
  // Whether it was raised, now or within `timeout`; a raise is seen by one wait only.
  bool WaitFor(std::chrono::milliseconds timeout);
  // What to wait on together with other handles: the pipe's reading end, or the event; the wait
  // that sees it ready calls Lower.
  std::intptr_t Handle() const { return read_; }
  void Lower();

 private:
  std::intptr_t read_ = -1;
  std::intptr_t write_ = -1;
};

}  // namespace halvrenn::cdr
