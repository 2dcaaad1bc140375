#include "service_thread.h"

#include <functional>
#include <thread>

namespace fake {

void runOnServiceThread(void (*fn)(void *), void *arg) { std::thread(fn, arg).join(); }

unsigned long currentThreadId() {
  return static_cast<unsigned long>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

} // namespace fake
