// Puts the fake audio service in the place of the platform's device
// enumerator class for this process: once registered, every
// CoCreateInstance of MMDeviceEnumerator here, the DLL's included, gets the
// fake's enumerator.
#pragma once

#include <windows.h>

namespace fake {

class StandInRegistration {
public:
  // Registers the class object on the calling thread (COM must be
  // initialised there); registered() tells whether it worked.
  StandInRegistration();
  ~StandInRegistration();
  StandInRegistration(const StandInRegistration &) = delete;
  StandInRegistration &operator=(const StandInRegistration &) = delete;

  HRESULT status() const { return status_; }

private:
  DWORD cookie_ = 0;
  HRESULT status_ = E_FAIL;
};

} // namespace fake
