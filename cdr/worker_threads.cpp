#include "worker_threads.h"

#include <system_error>
#include <utility>

#include "byte_streams.h"

namespace halvrenn::cdr {

WorkerThreads::WorkerThreads(unsigned wanted) {
  for (unsigned i = 0; i < wanted; ++i) {
    try {
      threads_.push_back(StartComputingThread([this] { Loop(); }));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones started do the work
    }
  }
}

WorkerThreads::~WorkerThreads() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    tasks_.clear();
  }
  task_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerThreads::Run(std::function<void()> task) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  task_ready_.notify_one();
}

void WorkerThreads::WaitUntil(const std::function<bool()>& done) {
  std::unique_lock<std::mutex> lock(mutex_);
  task_ended_.wait(lock, done);
}

void WorkerThreads::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    task_ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (stopping_) return;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    task_ended_.notify_all();
  }
}

}  // namespace halvrenn::cdr
