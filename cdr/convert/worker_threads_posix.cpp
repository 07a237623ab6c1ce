// Threads on POSIX systems: pthreads' own lock and condition, and a signal mask.

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <utility>

#include "cdr/convert/worker_threads.h"

namespace halvrenn::cdr {
namespace {

struct LockAndCondition {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
};

}  // namespace

Monitor::Monitor() { Make<LockAndCondition>(); }
Monitor::~Monitor() {
  pthread_cond_destroy(&Held<LockAndCondition>().condition);
  pthread_mutex_destroy(&Held<LockAndCondition>().mutex);
}
void Monitor::Lock() { pthread_mutex_lock(&Held<LockAndCondition>().mutex); }
void Monitor::Unlock() { pthread_mutex_unlock(&Held<LockAndCondition>().mutex); }
void Monitor::Wait() {
  pthread_cond_wait(&Held<LockAndCondition>().condition, &Held<LockAndCondition>().mutex);
}
void Monitor::NotifyAll() { pthread_cond_broadcast(&Held<LockAndCondition>().condition); }

unsigned UsableProcessors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  double processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? static_cast<double>(CPU_COUNT(&allowed))
                          : static_cast<double>(std::max(1U, std::thread::hardware_concurrency()));
  // A container's quota (cgroup v2): "max 100000", or "150000 100000" for one and a half.
  std::ifstream quota_file("/sys/fs/cgroup/cpu.max");
  std::string quota;
  double period = 0;
  if (quota_file >> quota >> period && quota != "max" && period > 0) {
    processors = std::min(processors, std::stod(quota) / period);
  }
  return processors >= 1.5 ? static_cast<unsigned>(std::lround(processors)) : 1;
}

std::thread StartComputingThread(void (*work)(void*), void* argument) {
  sigset_t all;
  sigset_t saved;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &saved);  // the new thread inherits the mask
  try {
    std::thread thread(work, argument);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return thread;
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    throw;
  }
}

}  // namespace halvrenn::cdr
