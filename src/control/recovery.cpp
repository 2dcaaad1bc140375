#include "control/recovery.h"

#include "control/default_follow.h"

namespace quorvel {

constinit std::atomic<bool> serviceLost{false};

namespace {

// When the last rebind request was let through (GetTickCount).
constinit std::atomic<DWORD> lastRebindRequest{0};

} // namespace

void requestRebind() {
  const DWORD now = GetTickCount();
  DWORD last = lastRebindRequest.load();
  // Unsigned difference: right across the counter's wrap after 49.7 days.
  // Of several threads asking at once, one gets through.
  if (now - last < kRebindSpacingMs || !lastRebindRequest.compare_exchange_strong(last, now)) {
    return;
  }
  requestMove(kAfresh);
}

void resetRebindSpacing() {
  serviceLost.store(false);
  lastRebindRequest.store(GetTickCount() - kRebindSpacingMs);
}

void afterControlFailure(HRESULT status) {
  if (platform::isLostStatus(status)) {
    requestRebind();
  }
}

} // namespace quorvel
