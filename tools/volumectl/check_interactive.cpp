// The steps that ask the person at the machine for a change: volumectl
// watches for it directly, apart from the library, and then looks whether
// the host was told.
#include <cstdio>
#include <functional>
#include <string>

#include "check_steps.h"
#include "host_told.h"
#include "own_endpoint.h"

namespace volumectl {

namespace {

constexpr double kPromptMs = 30000;
constexpr DWORD kPollMs = 100;

// A telling of the host passes the step; a change seen directly but not
// told within kToldWithinMs fails it; nothing within kPromptMs skips it.
StepResult awaitPerson(CheckState &state, const char *step, const char *request,
                       const std::function<bool()> &changed) {
  std::printf("%-4s %-8s %s (%.0f s)...\n", "", step, request, kPromptMs / 1000);
  std::fflush(stdout);
  forgetTold();
  const double start = nowMs();
  double seenAt = -1;
  const auto any = [](const Told &) { return true; };
  Told told;
  for (;;) {
    const double deadline = seenAt >= 0 ? seenAt + kToldWithinMs : start + kPromptMs;
    const double next = nowMs() + kPollMs;
    if (waitForTold(next < deadline ? next : deadline, state.stop, any, told)) {
      if (seenAt < 0) {
        return ok("host told: volume %d%%, mute %s", told.percent, onOff(told.muted));
      }
      // volumectl looks every kPollMs, so the host may be told before.
      const long long after = told.atMs > seenAt ? static_cast<long long>(told.atMs - seenAt) : 0;
      StepResult passed = ok("host told: volume %d%%, mute %s, %lld ms after volumectl saw it",
                             told.percent, onOff(told.muted), after);
      passed.toldMs = after;
      return passed;
    }
    if (nowMs() >= deadline || WaitForSingleObject(state.stop, 0) == WAIT_OBJECT_0) {
      break;
    }
    if (seenAt < 0 && changed()) {
      seenAt = nowMs();
    }
  }
  if (seenAt >= 0) {
    return fail("volumectl saw the change, but the host was not told within %.0f ms",
                kToldWithinMs);
  }
  return skip("no change within %.0f s", kPromptMs / 1000);
}

} // namespace

StepResult byHandStep(CheckState &state) {
  OwnEndpoint own;
  int percent = 0;
  bool muted = false;
  HRESULT status = own.open();
  if (SUCCEEDED(status)) {
    status = own.read(percent, muted);
  }
  if (FAILED(status)) {
    return fail("volumectl could not read the device itself (status 0x%08lX)", status);
  }
  return awaitPerson(state, "by-hand",
                     "change the volume or mute now, with the keyboard or the taskbar", [&] {
                       int nowPercent = 0;
                       bool nowMuted = false;
                       return SUCCEEDED(own.read(nowPercent, nowMuted)) &&
                              (nowPercent != percent || nowMuted != muted);
                     });
}

StepResult switchStep(CheckState &state) {
  OwnEndpoint own;
  std::wstring id;
  HRESULT status = own.open();
  if (SUCCEEDED(status)) {
    status = own.defaultId(id);
  }
  if (FAILED(status)) {
    return fail("volumectl could not look at the default device itself (status 0x%08lX)", status);
  }
  return awaitPerson(state, "switch",
                     "switch the default output, or plug in or pull out headphones, now", [&] {
                       std::wstring now;
                       own.defaultId(now);
                       return now != id;
                     });
}

} // namespace volumectl
