// A test-only DLL that stands in for the platform's audio service in the
// process that loads it, so that an example in any language can be shown
// changes, which Wine's own service never reports.
#include <thread>

#include "fake_audio.h"
#include "stand_in_factory.h"

// Registers the stand-in enumerator class for the calling thread's
// apartment (initialising COM there for the rest of the process), so that
// a binding made later on this thread reaches the stand-in. 1 on success.
extern "C" __declspec(dllexport) int __cdecl StandInRegister(void) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  static const auto *registration = new fake::StandInRegistration;
  return SUCCEEDED(registration->status()) ? 1 : 0;
}

// Has the service report a change of the level to percent and of the mute
// flag, from a thread of its own, and returns at once without waiting for
// the delivery: a host may only run the callback once this call is back.
// Returns the number of sinks to be told; 0 (nothing delivered) while none
// is registered.
extern "C" __declspec(dllexport) int __cdecl StandInDeliver(int muted, int percent) {
  const int sinks = fake::audio().sinkCount();
  if (sinks > 0) {
    std::thread([muted, percent] {
      fake::audio().applyChange(static_cast<float>(percent / 100.0), muted, nullptr);
    }).detach();
  }
  return sinks;
}
