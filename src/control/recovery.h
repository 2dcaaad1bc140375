// Recovering from lost endpoint objects and a restarted audio service: a
// control that learns of it asks for a move, which finds the held control
// lost and activates afresh, and keeps asking while the service stays
// away.
#pragma once

#include "platform/atomics.h"

#include "control/default_follow.h"
#include "platform/platform.h"

namespace quorvel {

// Set by a move that could not bind with a status that may mean the
// service is gone; cleared once a move binds again, and by stopFollowing.
// While it is set the controls act as when not bound and each call asks
// for a rebind.
extern constinit Atomic<bool> serviceLost;
// A failure asks for a move no sooner than this after the last one it
// asked for, a spacing that doubles while failures go on, up to the look
// period; so a host calling without pause cannot keep the pool or the
// service busy.
inline constexpr DWORD kRebindSpacingMs = 50;
// While bound, a move is asked for this often, to find what no report
// tells of: a restarted service, a failure of a move's own. The system
// may run it up to kLookWindowMs late, to coalesce it with other timers.
inline constexpr DWORD kLookPeriodMs = 2000;
inline constexpr DWORD kLookWindowMs = 1000;

// A control's platform call: its status, after asking for a rebind if it
// may mean that the control's objects or the service are gone. A success
// takes one test.
inline HRESULT checked(HRESULT status) {
  if (FAILED(status) && platform::mayMeanLost(status)) {
    requestMoveAfterFailure();
  }
  return status;
}

// For a control that found nothing bound.
inline void whileUnbound() {
  if (serviceLost.load(MemoryOrder::relaxed)) {
    requestMoveAfterFailure();
  }
}

} // namespace quorvel
