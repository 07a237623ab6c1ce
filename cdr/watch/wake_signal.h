#pragma once

// A signal that one side raises, from a signal handler, a control handler or another thread, and
// that a folder watch waits for beside its own events. One file per platform: a pipe on POSIX
// (folder_watch_posix.cpp), an event on Windows (folder_watch_win32.cpp). Also what every folder
// watch holds around it: its folder, its Wake, the count a system wait takes for a timeout.
//
// Example:
//   WakeSignal wake;
//   ...in a signal handler: wake.Raise();
//   if (wake.WaitFor(std::chrono::seconds(1))) { /* raised: stop waiting */ }

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "cdr/watch/folder_watch.h"

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

// A timeout as the milliseconds that a system wait takes: none below zero, and at most
// `longest`, the most it takes short of waiting forever.
template <typename Count>
Count WaitMilliseconds(std::chrono::milliseconds timeout, Count longest) {
  return static_cast<Count>(
      std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, longest));
}

// The folder watched and the signal that Wake raises, which Wait waits for.
class WakeableFolderWatch : public FolderWatch {
 public:
  void Wake() noexcept final { wake_.Raise(); }

 protected:
  explicit WakeableFolderWatch(std::string_view folder) : folder_(folder) {}

  // How often a folder that was removed or renamed, and so lost its watch, is looked for again.
  static constexpr std::chrono::milliseconds kWatchAgainEvery{1000};

  std::string folder_;
  WakeSignal wake_;
};

}  // namespace halvrenn::cdr
