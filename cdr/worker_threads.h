#pragma once

// A fixed set of threads that run tasks from one queue, started once per conversion rather than
// once per block. Where the system gives fewer threads than asked for (a process limit in a
// container), the set is smaller, possibly empty; it never throws for that.
//
// Example:
//   WorkerThreads workers(2);
//   if (workers.Count() == 0) { ...do the work on this thread... }
//   std::atomic<bool> done{false};
//   workers.Run([&] { Convert(block); done = true; });
//   workers.WaitUntil([&] { return done.load(); });

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace halvrenn::cdr {

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

  std::mutex mutex_;
  std::condition_variable task_ready_;
  std::condition_variable task_ended_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace halvrenn::cdr
