// The audio service restarted while the check is bound and listening: the
// library must find its way back on its own.
#include "audio_service.h"
#include "check_steps.h"
#include "host_told.h"

namespace volumectl {

namespace {

// The library looks at its binding again every 2 s while bound: one look
// after the service is back, and a margin.
constexpr double kToldAfterServiceBackMs = 3000;

} // namespace

StepResult serviceStep(CheckState &state) {
  forgetTold();
  const Restart restart = restartAudioService();
  switch (restart.result) {
  case RestartResult::NoService:
    return skip("no Windows Audio service (Audiosrv) here (%s: error %lu)", restart.call,
                restart.error);
  case RestartResult::NoRight:
    return skip("restarting Audiosrv needs an administrator (%s: access denied)", restart.call);
  case RestartResult::Failed:
    return fail("restarting Audiosrv: %s failed with error %lu", restart.call, restart.error);
  case RestartResult::Restarted:
    break;
  }
  Told told;
  const auto sinceStop = [&](const Told &each) { return each.atMs >= restart.stopAtMs; };
  if (!waitForTold(restart.backAtMs + kToldAfterServiceBackMs, state.stop, sinceStop, told)) {
    return fail("Audiosrv restarted in %.1f s, but the host was not told within %.0f ms after",
                (restart.backAtMs - restart.stopAtMs) / 1000, kToldAfterServiceBackMs);
  }
  const long long toldMs =
      told.atMs > restart.backAtMs ? static_cast<long long>(told.atMs - restart.backAtMs) : 0;
  const StepResult controls = setReadAndHear(state, awayFrom(state.foundPercent, 20));
  StepResult result = controls.outcome == Outcome::Ok
                          ? ok("Audiosrv restarted; host told %lld ms after (volume %d%%, mute "
                               "%s); then %s",
                               toldMs, told.percent, onOff(told.muted), controls.detail)
                          : fail("Audiosrv restarted; host told %lld ms after, but then: %s",
                                 toldMs, controls.detail);
  result.toldMs = toldMs;
  return result;
}

} // namespace volumectl
