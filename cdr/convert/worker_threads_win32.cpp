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

LockAndCondition& Sync(unsigned char* storage) {
  return *std::launder(reinterpret_cast<LockAndCondition*>(storage));
}

}  // namespace

Monitor::Monitor() {
  static_assert(sizeof(LockAndCondition) <= sizeof(storage_));
  new (storage_.data()) LockAndCondition;
}
Monitor::~Monitor() = default;  // neither needs releasing
void Monitor::Lock() { AcquireSRWLockExclusive(&Sync(storage_.data()).lock); }
void Monitor::Unlock() { ReleaseSRWLockExclusive(&Sync(storage_.data()).lock); }
void Monitor::Wait() {
  SleepConditionVariableSRW(&Sync(storage_.data()).condition, &Sync(storage_.data()).lock, INFINITE,
                            0);
}
void Monitor::NotifyAll() { WakeAllConditionVariable(&Sync(storage_.data()).condition); }

// Windows tells no load average: every processor of the process's group counts as free.
unsigned FreeProcessors() { return std::max(1U, std::thread::hardware_concurrency()); }

std::thread StartComputingThread(void (*work)(void*), void* argument) {
  return std::thread(work, argument);
}

}  // namespace halvrenn::cdr
