// The library-wide binding to the default playback device.
#pragma once

#include "platform/platform.h"

namespace quorvel {

struct EndpointState {
  // The platform's device enumerator.
  IMMDeviceEnumerator *enumerator;
  // The default render endpoint for the console role.
  IMMDevice *device;
  // The device's volume control; non-null means bound, so the controls act.
  IAudioEndpointVolume *endpointVolume;
  // Made afresh by each binding attempt; marks every change the library makes.
  GUID eventContext;
  // Successful CoInitialize calls on comInitThread not yet balanced.
  int comInitCount;
  // The thread those calls were made on; COM initialisation is per thread.
  DWORD comInitThread;
};

extern constinit EndpointState endpointState;

} // namespace quorvel
