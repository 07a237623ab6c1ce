// Threads on Windows: kernel32's slim lock and condition variable. Windows has no asynchronous
// signals (a console's Ctrl+C comes on a thread of its own), so a thread is a plain thread.

#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>

#include "cdr/convert/worker_threads.h"

namespace halvrenn::cdr {
namespace {

struct LockAndCondition {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

}  // namespace

Monitor::Monitor() { Make<LockAndCondition>(); }
Monitor::~Monitor() = default;  // neither needs releasing
void Monitor::Lock() { AcquireSRWLockExclusive(&Held<LockAndCondition>().lock); }
void Monitor::Unlock() { ReleaseSRWLockExclusive(&Held<LockAndCondition>().lock); }
void Monitor::Wait() {
  SleepConditionVariableSRW(&Held<LockAndCondition>().condition, &Held<LockAndCondition>().lock,
                            INFINITE, 0);
}
void Monitor::NotifyAll() { WakeAllConditionVariable(&Held<LockAndCondition>().condition); }

// Every processor of the process's group.
unsigned UsableProcessors() { return std::max(1U, std::thread::hardware_concurrency()); }

std::thread StartComputingThread(void (*work)(void*), void* argument) {
  return std::thread(work, argument);
}

}  // namespace halvrenn::cdr
