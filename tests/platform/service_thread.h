// Threads and locks for the fake audio service, on Linux and on Windows
// (MinGW's win32 thread model has no std::thread).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace fake {

// Runs fn(arg) on a new thread and waits for it to finish.
void runOnServiceThread(void (*fn)(void *), void *arg);

// An identifier of the calling thread, comparable between threads.
unsigned long currentThreadId();

// A plain mutual-exclusion lock.
class ServiceLock {
public:
  ServiceLock() = default;
  ServiceLock(const ServiceLock &) = delete;
  ServiceLock &operator=(const ServiceLock &) = delete;
  void lock();
  void unlock();

private:
#ifdef _WIN32
  SRWLOCK lock_ = SRWLOCK_INIT;
#else
  std::mutex lock_;
#endif
};

class ServiceLockGuard {
public:
  explicit ServiceLockGuard(ServiceLock &lock) : lock_(lock) { lock_.lock(); }
  ~ServiceLockGuard() { lock_.unlock(); }
  ServiceLockGuard(const ServiceLockGuard &) = delete;
  ServiceLockGuard &operator=(const ServiceLockGuard &) = delete;

private:
  ServiceLock &lock_;
};

} // namespace fake
