// The four controls: thin pass-throughs to the held endpoint volume, each
// counted in while it uses it (control_guard.h). A call answered with a
// lost status asks for a rebind and returns as it would have otherwise.
#include "control/control_guard.h"
#include "control/endpoint_state.h"
#include "control/percent.h"
#include "control/recovery.h"
#include "quorvel.h"

using quorvel::checked;
using quorvel::endpointState;

extern "C" int QUORVEL_CALL MuteSet(int muted) {
  const quorvel::ControlGuard guard(endpointState.endpointVolume);
  IAudioEndpointVolume *volume = guard.volume();
  if (volume == nullptr) {
    quorvel::whileUnbound();
    return 1;
  }
  // The flag goes through as given; a refused change has no report here.
  checked(volume->SetMute(muted, &endpointState.eventContext));
  return 1;
}

extern "C" int QUORVEL_CALL MuteGet(void) {
  const quorvel::ControlGuard guard(endpointState.endpointVolume);
  IAudioEndpointVolume *volume = guard.volume();
  if (volume == nullptr) {
    quorvel::whileUnbound();
    return 0;
  }
  BOOL muted = 0;
  if (FAILED(checked(volume->GetMute(&muted)))) {
    return 0;
  }
  // Platforms may store whatever flag they were given (2, -1, ...); hosts
  // are promised exactly 0 or 1.
  return muted != 0 ? 1 : 0;
}

extern "C" int QUORVEL_CALL VolumeSet(int percent) {
  // Converted first, so that nothing else is kept across the call.
  const float level = quorvel::PercentToScalar(percent);
  const quorvel::ControlGuard guard(endpointState.endpointVolume);
  IAudioEndpointVolume *volume = guard.volume();
  if (volume == nullptr) {
    quorvel::whileUnbound();
    return AUDCLNT_E_NOT_INITIALIZED;
  }
  return checked(volume->SetMasterVolumeLevelScalar(level, &endpointState.eventContext));
}

extern "C" int QUORVEL_CALL VolumeGet(int *percent) {
  const quorvel::ControlGuard guard(endpointState.endpointVolume);
  IAudioEndpointVolume *volume = guard.volume();
  if (volume == nullptr) {
    quorvel::whileUnbound();
    return 1;
  }
  float level = 0.0f;
  if (FAILED(checked(volume->GetMasterVolumeLevelScalar(&level))) || percent == nullptr) {
    return 1;
  }
  *percent = quorvel::ScalarToPercent(level);
  return 1;
}
