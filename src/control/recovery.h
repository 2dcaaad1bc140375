// Recovering from lost endpoint objects and a restarted audio service: a
// control that learns of it asks for a rebind, a move that activates
// afresh, and keeps asking, spaced out, while the service stays away.
#pragma once

#include <atomic>

#include "platform/platform.h"

namespace quorvel {

// Set by a move that could not bind because the service answered with a
// lost status; cleared once a move binds again. While it is set the
// controls act as when not bound and their calls ask for rebinds.
extern constinit std::atomic<bool> serviceLost;

// Asks for a rebind, unless one was asked for less than kRebindSpacingMs
// ago: a host calling the controls without pause must not keep the pool
// busy with attempts on a service that is down.
inline constexpr DWORD kRebindSpacingMs = 50;
void requestRebind();

// Lets the next request through at once: a new binding starts afresh.
void resetRebindSpacing();

// For a control whose platform call failed with status.
void afterControlFailure(HRESULT status);

// A control's platform call: its status, after asking for a rebind if it
// says that the control or the service is gone.
inline HRESULT checked(HRESULT status) {
  if (FAILED(status)) {
    afterControlFailure(status);
  }
  return status;
}

// For a control that found nothing bound.
inline void whileUnbound() {
  if (serviceLost.load(std::memory_order_relaxed)) {
    requestRebind();
  }
}

} // namespace quorvel
