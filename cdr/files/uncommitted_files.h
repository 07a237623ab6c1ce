#pragma once

// The temporary files not yet committed, for a signal handler (POSIX) or a console control
// handler (Windows) to remove: a fixed table of paths, in the system's own characters, that the
// handler only reads. A path is entered once its file exists and left only after the file is
// renamed or removed, so the handler never frees or misses one. Beyond the table's size (more
// files at once than any run converts) a file is simply not entered.

#include <array>
#include <atomic>

namespace halvrenn::cdr {

template <typename Char>
class UncommittedFiles {
 public:
  void Enter(const Char* path) {
    for (std::atomic<const Char*>& slot : slots_) {
      const Char* empty = nullptr;
      if (slot.compare_exchange_strong(empty, path)) return;
    }
  }
  void Leave(const Char* path) {
    for (std::atomic<const Char*>& slot : slots_) {
      const Char* entered = path;
      if (slot.compare_exchange_strong(entered, nullptr)) return;
    }
  }
  // Calls `remove` with every path entered; safe in a signal handler.
  template <typename Remove>
  void ForEach(Remove remove) const noexcept {
    for (const std::atomic<const Char*>& slot : slots_) {
      if (const Char* path = slot.load()) remove(path);
    }
  }

 private:
  std::array<std::atomic<const Char*>, 64> slots_{};
};

}  // namespace halvrenn::cdr
