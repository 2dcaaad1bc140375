// Puts the fake audio service in the place of the platform's device
// enumerator class for this process: once registered, every
// CoCreateInstance of MMDeviceEnumerator here, the DLL's included, gets the
// fake's enumerator.
#pragma once

#include <windows.h>

#include <thread>

#include "platform/platform.h"

namespace fake {

class StandInRegistration {
public:
  // Registers the class object on the calling thread (COM must be
  // initialised there); status() tells whether it worked. COM looks a
  // class up in the caller's apartment, and the DLL makes new enumerators
  // on the thread pool, so the class is registered in the process's
  // multithreaded apartment too, from a thread that stays in it.
  StandInRegistration();
  ~StandInRegistration();
  StandInRegistration(const StandInRegistration &) = delete;
  StandInRegistration &operator=(const StandInRegistration &) = delete;

  HRESULT status() const { return status_; }

private:
  DWORD cookie_ = 0;
  HRESULT status_ = E_FAIL;
  // The thread holding the multithreaded apartment's registration, and
  // the event that has it revoke the registration and leave.
  std::thread mta_;
  HANDLE leaveMta_ = nullptr;
};

// The class object that hands out the stand-in's enumerators.
IClassFactory *enumeratorFactory();

// The sink the DLL registered with the stand-in, read off its call log.
IAudioEndpointVolumeCallback *registeredSink();

// A second client's own endpoint volume on the stand-in's device, as
// another program would hold it; null if any step fails.
IAudioEndpointVolume *openOtherClient();

} // namespace fake
