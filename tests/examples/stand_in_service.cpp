// A test-only DLL that stands in for the platform's audio service in the
// process that loads it, so that an example in any language can be shown
// changes, which Wine's own service never reports.
#include <atomic>
#include <chrono>
#include <thread>

#include "fake_audio.h"
#include "stand_in_factory.h"

// Registers the stand-in enumerator class for the calling thread's
// apartment (initialising COM there for the rest of the process), so that
// a binding made later on this thread reaches the stand-in. 1 on success.
// From then on COM and the service's threads may run the DLL's code until
// the process ends, so it stays loaded even when its host frees it.
extern "C" __declspec(dllexport) int __cdecl StandInRegister(void) {
  HMODULE self;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&StandInRegister), &self);
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

namespace {
std::atomic<bool> changing{false};
// Never destroyed: a process may end while it runs.
std::thread *changer = nullptr;
} // namespace

// Has the service report changes one after another from a thread of its
// own, the level alternating between 30% and 70% and the mute flag with
// it, about one a millisecond, until StandInStopChanges or the end of the
// process. 1 if it started, 0 if changes were already arriving.
extern "C" __declspec(dllexport) int __cdecl StandInStartChanges(void) {
  if (changing.exchange(true)) {
    return 0;
  }
  changer = new std::thread([] {
    for (int i = 0; changing.load(); ++i) {
      fake::audio().applyChange(i % 2 == 0 ? 0.3f : 0.7f, i % 2, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  return 1;
}

// Stops the changes StandInStartChanges began and returns once the last
// one has been delivered, so call it only where no sink waits for the
// calling thread.
extern "C" __declspec(dllexport) void __cdecl StandInStopChanges(void) {
  if (changing.exchange(false)) {
    changer->join();
    delete changer;
    changer = nullptr;
  }
}

// Makes the given device (0 or 1) the default and reports it, as the
// platform does when the user picks another output.
extern "C" __declspec(dllexport) void __cdecl StandInSwitchDefault(int device) {
  fake::audio().switchDefault(device);
}
