// Keeps a volume control alive while a control uses it, without a lock.
//
// A control counts itself in before it loads the held pointer and out once
// it is done with it. Whoever takes a volume control out of the state (a
// move to a new default, UninitEndPoint) first swaps the pointer, so no
// control can load it any more, then waits until the count has been zero
// once before releasing it: every control that could have loaded it has
// finished by then. Both sides use sequentially consistent operations, so
// either the control sees the new pointer or the remover sees its count.
//
// The controls never wait, so they cost two interlocked additions. Only
// the remover waits, sleeping between looks, and never inside a platform
// callback: it runs on the host's thread in UninitEndPoint or on the
// thread pool in a move. It cannot deadlock, because a counted control
// holds nothing the remover holds; it only calls the platform and returns.
#pragma once

#include <atomic>

#include "platform/platform.h"

namespace quorvel {

extern constinit std::atomic<LONG> controlsInUse;

class ControlGuard {
public:
  ControlGuard() { controlsInUse.fetch_add(1); }
  ~ControlGuard() { controlsInUse.fetch_sub(1, std::memory_order_release); }
  ControlGuard(const ControlGuard &) = delete;
  ControlGuard &operator=(const ControlGuard &) = delete;
};

// Returns once no control that started before the call is still running.
void waitForControls();

} // namespace quorvel
