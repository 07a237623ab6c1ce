#include "worker_threads.h"

#include <system_error>
#include <utility>

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
  monitor_.Lock();
  stopping_ = true;
  tasks_.clear();
  monitor_.NotifyAll();
  monitor_.Unlock();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerThreads::Run(std::function<void()> task) {
  monitor_.Lock();
  tasks_.push_back(std::move(task));
  monitor_.NotifyAll();
  monitor_.Unlock();
}

void WorkerThreads::WaitUntil(const std::function<bool()>& done) {
  monitor_.Lock();
  while (!done()) monitor_.Wait();
  monitor_.Unlock();
}

// Waiting threads and this one share the one condition: every change wakes them all, and each
// looks again at what it waits for. There are a few threads at most.
void WorkerThreads::Loop() {
  monitor_.Lock();
  for (;;) {
    while (!stopping_ && tasks_.empty()) monitor_.Wait();
    if (stopping_) break;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.erase(tasks_.begin());
    monitor_.Unlock();
    task();
    monitor_.Lock();
    monitor_.NotifyAll();
  }
  monitor_.Unlock();
}

}  // namespace halvrenn::cdr
