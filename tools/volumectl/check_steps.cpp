// The steps that need no person, no administrator and no time of their
// own: bind, read, change through the library and from outside, restore.
#include "check_steps.h"

#include <cstdlib>

#include "host_told.h"
#include "own_endpoint.h"
#include "quorvel.h"

namespace volumectl {

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490u); // HRESULT of ERROR_NOT_FOUND

long long toldAfter(const Told &told, double startMs) {
  return told.atMs > startMs ? static_cast<long long>(told.atMs - startMs) : 0;
}

const char *stepNote(int read, int wanted) {
  return read == wanted ? "" : " (a hardware volume step away)";
}

bool waitForState(CheckState &state, double startMs, int percent, bool muted, Told &told) {
  const auto matches = [&](const Told &each) {
    return closeEnough(each.percent, percent) && (each.muted != 0) == muted;
  };
  return waitForTold(startMs + kToldWithinMs, state.stop, matches, told);
}

} // namespace

int awayFrom(int percent, int distance) {
  return percent >= 50 ? percent - distance : percent + distance;
}

bool closeEnough(int a, int b) { return std::abs(a - b) <= 1; }

const char *onOff(int muted) { return muted != 0 ? "on" : "off"; }

StepResult bindStep(CheckState &state) {
  state.bound = InitEndPoint(&noteTold) == 1;
  if (state.bound) {
    return ok("bound, with a host function");
  }
  UninitEndPoint();
  // The library reports no reason: volumectl looks for itself.
  OwnEndpoint own;
  const HRESULT status = own.open();
  state.noDevice = status == kNotFound;
  if (state.noDevice) {
    return fail("no default playback device (status 0x%08lX)", status);
  }
  return fail("InitEndPoint failed, yet volumectl's own look at the default device gave status "
              "0x%08lX",
              status);
}

StepResult readStep(CheckState &state) {
  int percent = -1;
  VolumeGet(&percent);
  const int muted = MuteGet();
  if (percent < 0) {
    return fail("the volume could not be read");
  }
  state.found = true;
  state.foundPercent = percent;
  state.foundMuted = muted != 0;
  return ok("volume %d%%, mute %s", percent, onOff(muted));
}

StepResult setReadAndHear(CheckState &state, int percent) {
  const bool muted = MuteGet() != 0;
  forgetTold();
  const double start = nowMs();
  const int status = VolumeSet(percent);
  if (status < 0) {
    return fail("the audio service refused %d%% (status 0x%08X)", percent,
                static_cast<unsigned>(status));
  }
  int read = -1;
  VolumeGet(&read);
  if (!closeEnough(read, percent)) {
    return fail("set %d%%, read back %d%%", percent, read);
  }
  Told told;
  if (!waitForState(state, start, percent, muted, told)) {
    return fail("set %d%%, read back %d%%%s, but the host was not told within %.0f ms", percent,
                read, stepNote(read, percent), kToldWithinMs);
  }
  StepResult passed = ok("set %d%%, read back %d%%%s, host told in %lld ms", percent, read,
                         stepNote(read, percent), toldAfter(told, start));
  passed.toldMs = toldAfter(told, start);
  return passed;
}

StepResult volumeStep(CheckState &state) {
  return setReadAndHear(state, awayFrom(state.foundPercent, 20));
}

StepResult muteStep(CheckState &state) {
  const int wanted = MuteGet() != 0 ? 0 : 1;
  int percent = -1;
  VolumeGet(&percent);
  forgetTold();
  const double start = nowMs();
  MuteSet(wanted);
  const int read = MuteGet();
  if (read != wanted) {
    return fail("set mute %s, read back %s", onOff(wanted), onOff(read));
  }
  Told told;
  if (!waitForState(state, start, percent, wanted != 0, told)) {
    return fail("set mute %s, read back %s, but the host was not told within %.0f ms",
                onOff(wanted), onOff(read), kToldWithinMs);
  }
  StepResult passed = ok("set mute %s, read back %s, host told in %lld ms", onOff(wanted),
                         onOff(read), toldAfter(told, start));
  passed.toldMs = toldAfter(told, start);
  return passed;
}

// The change another program makes: through volumectl's own control, not
// the library's, with an event context of its own.
StepResult outsideStep(CheckState &state) {
  OwnEndpoint own;
  HRESULT status = own.open();
  if (FAILED(status)) {
    return fail("volumectl could not open the device itself (status 0x%08lX)", status);
  }
  const int percent = awayFrom(state.foundPercent, 40);
  const bool muted = MuteGet() != 0;
  forgetTold();
  const double start = nowMs();
  status = own.setVolume(percent);
  if (FAILED(status)) {
    return fail("another program's change to %d%% was refused (status 0x%08lX)", percent, status);
  }
  int read = -1;
  VolumeGet(&read);
  if (!closeEnough(read, percent)) {
    return fail("another program set %d%%, the library reads %d%%", percent, read);
  }
  Told told;
  if (!waitForState(state, start, percent, muted, told)) {
    return fail("another program set %d%%, the library reads %d%%, but the host was not told "
                "within %.0f ms",
                percent, read, kToldWithinMs);
  }
  StepResult passed = ok("another program set %d%%, the library reads %d%%, host told in %lld ms",
                         percent, read, toldAfter(told, start));
  passed.toldMs = toldAfter(told, start);
  return passed;
}

StepResult restoreStep(CheckState &state) {
  if (!state.found) {
    return skip("nothing was read at the start, so nothing was changed");
  }
  if (!state.bound) {
    state.bound = InitEndPoint(&noteTold) == 1;
    if (!state.bound) {
      UninitEndPoint();
      return fail("could not bind again to put back volume %d%%, mute %s", state.foundPercent,
                  onOff(state.foundMuted));
    }
  }
  // Only what differs is set: a service that refuses changes has nothing to
  // refuse when nothing changed.
  int percent = -1;
  VolumeGet(&percent);
  if (percent != state.foundPercent) {
    const int status = VolumeSet(state.foundPercent);
    if (status < 0) {
      return fail("the audio service refused to put back %d%% (status 0x%08X)", state.foundPercent,
                  static_cast<unsigned>(status));
    }
  }
  if ((MuteGet() != 0) != state.foundMuted) {
    MuteSet(state.foundMuted ? 1 : 0);
  }
  VolumeGet(&percent);
  const int muted = MuteGet();
  if (!closeEnough(percent, state.foundPercent) || (muted != 0) != state.foundMuted) {
    return fail("read back volume %d%%, mute %s; found volume %d%%, mute %s", percent, onOff(muted),
                state.foundPercent, onOff(state.foundMuted));
  }
  return ok("volume %d%%, mute %s, as found", percent, onOff(muted));
}

} // namespace volumectl
