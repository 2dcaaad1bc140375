// Threads and locks for the fake audio service.
#pragma once

#include <mutex>

namespace fake {

// Runs fn(arg) on a new thread and waits for it to finish.
void runOnServiceThread(void (*fn)(void *), void *arg);

// An identifier of the calling thread, comparable between threads.
unsigned long currentThreadId();

using ServiceLock = std::mutex;
using ServiceLockGuard = std::lock_guard<std::mutex>;

} // namespace fake
