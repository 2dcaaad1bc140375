// The library-wide binding to the default playback device.
#pragma once

#include "control/control_guard.h"
#include "platform/mta_usage.h"
#include "platform/platform.h"

namespace quorvel {

struct EndpointState {
  // The platform's device enumerator; replaced by a move when the audio
  // service behind it is gone.
  IMMDeviceEnumerator *enumerator;
  // The device bound to; the default render endpoint for the console role
  // when it was last looked up. Null while no device is left.
  IMMDevice *device;
  // That device's endpoint id (the platform's allocation), telling a real
  // change of the default from a repeat; null if unknown.
  LPWSTR deviceId;
  // The device's volume control; non-null means the controls act. Swapped
  // by a move while the host may be using it (see control_guard.h).
  HeldVolume endpointVolume;
  // Set by a binding that got as far as a volume control, until
  // UninitEndPoint: also while no device is left.
  bool bound;
  // deviceWatch is registered with the enumerator.
  bool watching;
  // Made afresh by each binding attempt; marks every change the library makes.
  GUID eventContext;
  // Successful CoInitialize calls on comInitThread not yet balanced.
  int comInitCount;
  // The thread those calls were made on; COM initialisation is per thread.
  DWORD comInitThread;
  // Keeps the multithreaded apartment, in which moves run, alive while
  // following; null where it cannot be held.
  platform::MtaUsage mtaUsage;
};

extern constinit EndpointState endpointState;

} // namespace quorvel
