#pragma once

// A fixed set of threads that run tasks from one queue, started once per conversion rather than
// once per block. The thread that gives the tasks may run one itself rather than wait: when the
// set lags (a busy processor, or fewer threads than processors), the giver does the work that
// waits, so that a conversion on a busy machine costs what one thread's would, and no more. Where
// the system gives fewer threads than asked for (a process limit in a container), the set is
// smaller, possibly empty; it never throws for that. The threads only compute: asynchronous signals
// are held back in them, so that an interrupt reaches the thread that reads and writes, and breaks
// off a read that waits.
//
// Example:
//   WorkerThreads workers(2);
//   if (workers.Count() == 0) { ...do the work on this thread... }
//   workers.Run(&ConvertBlock, &block);  // ConvertBlock(void*) sets block.done at its end
//   workers.WaitUntil([](void* b) { return static_cast<Block*>(b)->done.load(); }, &block);

#include <array>
#include <cstddef>
#include <new>
#include <thread>
#include <vector>

namespace halvrenn::cdr {

// A lock with one condition, the system's own, one file per platform: on Windows kernel32's
// slim lock and condition variable, which cost the window's program nothing, where
// std::condition_variable brings a pthreads emulation of 5 KiB.
class Monitor {
 public:
  Monitor();
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void Lock();
  void Unlock();
  // Unlocks, waits for NotifyAll (or wakes spuriously), and locks again.
  void Wait();
  void NotifyAll();

 private:
  // The platform's lock and condition live in storage_, so that this header names no system
  // type: each platform's constructor makes its own there, and its members reach it by type.
  template <typename Sync>
  void Make() {
    static_assert(sizeof(Sync) <= sizeof(storage_) && alignof(Sync) <= alignof(Monitor));
    new (storage_.data()) Sync;
  }
  template <typename Sync>
  Sync& Held() {
    return *std::launder(reinterpret_cast<Sync*>(storage_.data()));
  }

  alignas(16) std::array<unsigned char, 128> storage_{};
};

class WorkerThreads {
 public:
  explicit WorkerThreads(unsigned wanted);
  // Drops the tasks not started yet and waits for those running.
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  std::size_t Count() const { return threads_.size(); }
  // Plain functions and pointers rather than std::function: the window's program is small.
  void Run(void (*task)(void*), void* argument);
  // Returns once `done(argument)` holds; it is asked again whenever a task ends. A task must make
  // it hold before it returns.
  void WaitUntil(bool (*done)(void*), void* argument);
  // Runs the first task that no thread has taken yet on the calling thread; false when there is
  // none.
  bool RunWaitingTask();

 private:
  struct Task {
    void (*run)(void*);
    void* argument;
  };
  void RunFirstTask();
  void Loop();

  Monitor monitor_;
  std::vector<Task> tasks_;  // in order; a few at most, taken from the front
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The processors this process may use: those its affinity allows, within a container's CPU
// quota, at least 1. A conversion runs as many threads, the reading one among them; on a busy
// machine the reading thread converts what the others leave, so no guess of the load is needed.
unsigned UsableProcessors();

// Starts a thread that runs `work(argument)` with asynchronous signals held back; throws
// std::system_error when the system has no thread to give.
std::thread StartComputingThread(void (*work)(void*), void* argument);

}  // namespace halvrenn::cdr
