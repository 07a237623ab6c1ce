#include "cdr/convert/worker_threads.h"

#include <system_error>
#include <utility>

namespace halvrenn::cdr {

WorkerThreads::WorkerThreads(unsigned wanted) {
  threads_.reserve(wanted);
  for (unsigned i = 0; i < wanted; ++i) {
    try {
      threads_.push_back(StartComputingThread(
          [](void* workers) { static_cast<WorkerThreads*>(workers)->Loop(); }, this));
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

void WorkerThreads::Run(void (*task)(void*), void* argument) {
  monitor_.Lock();
  tasks_.push_back({task, argument});
  monitor_.NotifyAll();
  monitor_.Unlock();
}

void WorkerThreads::WaitUntil(bool (*done)(void*), void* argument) {
  monitor_.Lock();
  while (!done(argument)) monitor_.Wait();
  monitor_.Unlock();
}

bool WorkerThreads::RunWaitingTask() {
  monitor_.Lock();
  const bool waiting = !tasks_.empty();
  if (waiting) RunFirstTask();
  monitor_.Unlock();
  return waiting;
}

// With the lock held and a task waiting: runs the first without the lock, and tells the waiting
// threads that it ended.
void WorkerThreads::RunFirstTask() {
  const Task task = tasks_.front();
  tasks_.erase(tasks_.begin());
  monitor_.Unlock();
  task.run(task.argument);
  monitor_.Lock();
  monitor_.NotifyAll();
}

// Waiting threads and this one share the one condition: every change wakes them all, and each
// looks again at what it waits for. There are a few threads at most.
void WorkerThreads::Loop() {
  monitor_.Lock();
  for (;;) {
    while (!stopping_ && tasks_.empty()) monitor_.Wait();
    if (stopping_) break;
    RunFirstTask();
  }
  monitor_.Unlock();
}

}  // namespace halvrenn::cdr
