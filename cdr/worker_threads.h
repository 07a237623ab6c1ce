#pragma once

// A fixed set of threads that run tasks from one queue, started once per conversion rather than
// once per block. Where the system gives fewer threads than asked for (a process limit in a
// container), the set is smaller, possibly empty; it never throws for that. The threads only
// compute: asynchronous signals are held back in them, so that an interrupt reaches the thread
// that reads and writes, and breaks off a read that waits.
//
// Example:
//   WorkerThreads workers(2);
//   if (workers.Count() == 0) { ...do the work on this thread... }
//   std::atomic<bool> done{false};
//   workers.Run([&] { Convert(block); done = true; });
//   workers.WaitUntil([&] { return done.load(); });

#include <cstddef>
#include <functional>
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
  alignas(16) unsigned char storage_[128];  // the platform's lock and condition
};

class WorkerThreads {
 public:
  explicit WorkerThreads(unsigned wanted);
  // Drops the tasks not started yet and waits for those running.
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  std::size_t Count() const { return threads_.size(); }
  void Run(std::function<void()> task);
  // Returns once `done` holds; it is asked again whenever a task ends. A task must make it hold
  // before it returns.
  void WaitUntil(const std::function<bool()>& done);

 private:
  void Loop();

  Monitor monitor_;
  std::vector<std::function<void()>> tasks_;  // in order; a few at most, taken from the front
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Starts a thread with asynchronous signals held back; throws std::system_error when the system
// has no thread to give.
std::thread StartComputingThread(std::function<void()> work);

}  // namespace halvrenn::cdr
