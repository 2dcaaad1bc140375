// The four controls: thin pass-throughs to the held endpoint volume, each
// counted in while it uses it (control_guard.h).
#include "control/control_guard.h"
#include "control/endpoint_state.h"
#include "control/percent.h"
#include "quorvel.h"

using quorvel::endpointState;

extern "C" int QUORVEL_CALL MuteSet(int muted) {
  quorvel::ControlGuard guard;
  IAudioEndpointVolume *volume = endpointState.endpointVolume.load();
  if (volume != nullptr) {
    // The flag goes through as given; a refused change has no report here.
    volume->SetMute(muted, &endpointState.eventContext);
  }
  return 1;
}

extern "C" int QUORVEL_CALL MuteGet(void) {
  quorvel::ControlGuard guard;
  IAudioEndpointVolume *volume = endpointState.endpointVolume.load();
  BOOL muted = 0;
  if (volume == nullptr || FAILED(volume->GetMute(&muted))) {
    return 0;
  }
  // Platforms may store whatever flag they were given (2, -1, ...); hosts
  // are promised exactly 0 or 1.
  return muted != 0 ? 1 : 0;
}

extern "C" int QUORVEL_CALL VolumeSet(int percent) {
  quorvel::ControlGuard guard;
  IAudioEndpointVolume *volume = endpointState.endpointVolume.load();
  if (volume == nullptr) {
    return AUDCLNT_E_NOT_INITIALIZED;
  }
  return volume->SetMasterVolumeLevelScalar(quorvel::PercentToScalar(percent),
                                            &endpointState.eventContext);
}

extern "C" int QUORVEL_CALL VolumeGet(int *percent) {
  quorvel::ControlGuard guard;
  IAudioEndpointVolume *volume = endpointState.endpointVolume.load();
  if (volume == nullptr) {
    return 1;
  }
  float level = 0.0f;
  if (FAILED(volume->GetMasterVolumeLevelScalar(&level)) || percent == nullptr) {
    return 1;
  }
  *percent = quorvel::ScalarToPercent(level);
  return 1;
}
