#include "service_thread.h"

#ifdef _WIN32
namespace fake {

namespace {

struct Job {
  void (*fn)(void *);
  void *arg;
};

DWORD WINAPI runJob(LPVOID param) {
  Job *job = static_cast<Job *>(param);
  job->fn(job->arg);
  return 0;
}

} // namespace

void runOnServiceThread(void (*fn)(void *), void *arg) {
  Job job{fn, arg};
  HANDLE thread = CreateThread(nullptr, 0, runJob, &job, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

unsigned long currentThreadId() { return GetCurrentThreadId(); }

void ServiceLock::lock() { AcquireSRWLockExclusive(&lock_); }
void ServiceLock::unlock() { ReleaseSRWLockExclusive(&lock_); }

} // namespace fake

#else
#include <functional>
#include <thread>

namespace fake {

void runOnServiceThread(void (*fn)(void *), void *arg) { std::thread(fn, arg).join(); }

unsigned long currentThreadId() {
  return static_cast<unsigned long>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

void ServiceLock::lock() { lock_.lock(); }
void ServiceLock::unlock() { lock_.unlock(); }

} // namespace fake
#endif
