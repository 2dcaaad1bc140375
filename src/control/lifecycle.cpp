// InitEndPoint and UninitEndPoint: binding to the device and letting go.
#include "control/default_follow.h"
#include "control/endpoint_state.h"
#include "control/release.h"
#include "notify/volume_callback.h"
#include "quorvel.h"

namespace quorvel {

constinit EndpointState endpointState{};

namespace {

// A retry after a failed attempt drops what that attempt left behind, so
// the new references do not overwrite (and leak) the old ones.
void releasePartialBinding(EndpointState &state) {
  releaseAndClear(state.enumerator);
  releaseAndClear(state.device);
}

// Counts a successful CoInitialize (S_FALSE included) of the calling thread.
// A binding attempt on another thread starts a new count: the old thread's
// initialisations can only be undone on that thread, and never by us.
void countComInit(EndpointState &state) {
  const DWORD thread = GetCurrentThreadId();
  if (state.comInitThread != thread) {
    state.comInitThread = thread;
    state.comInitCount = 0;
  }
  ++state.comInitCount;
}

// Once the sink is registered the platform may call it at any time, also
// after the host has freed the library (or mid-delivery while it does), so
// the module stays mapped for the rest of the process. A failed pin leaves
// things as they were without it, so its result is not looked at.
void pinModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&notifySink), &module);
}

} // namespace

} // namespace quorvel

using quorvel::endpointState;
using quorvel::notifySink;

extern "C" int QUORVEL_CALL InitEndPoint(VolumeChangeCallback callback) {
  quorvel::EndpointState &state = endpointState;
  if (state.bound) {
    return 0;
  }
  notifySink.SetHostCallback(callback);

  // RPC_E_CHANGED_MODE (thread already multithreaded) still lets the calls
  // below work; only a successful initialise is ours to balance later.
  if (SUCCEEDED(CoInitialize(nullptr))) {
    quorvel::countComInit(state);
  }
  if (FAILED(CoCreateGuid(&state.eventContext))) {
    return 0;
  }
  quorvel::releasePartialBinding(state);
  if (FAILED(CoCreateInstance(quorvel::platform::kClsidMMDeviceEnumerator, nullptr,
                              CLSCTX_INPROC_SERVER, quorvel::platform::kIidIMMDeviceEnumerator,
                              reinterpret_cast<void **>(&state.enumerator)))) {
    return 0;
  }
  if (FAILED(state.enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &state.device))) {
    return 0;
  }
  IAudioEndpointVolume *volume = nullptr;
  if (FAILED(state.device->Activate(quorvel::platform::kIidIAudioEndpointVolume, CLSCTX_ALL,
                                    nullptr, reinterpret_cast<void **>(&volume)))) {
    return 0;
  }
  quorvel::replaceVolume(state, volume);
  state.bound = true;
  quorvel::pinModule();
  if (FAILED(volume->RegisterControlChangeNotify(&notifySink))) {
    return 0;
  }
  quorvel::startFollowing(state);
  return 1;
}

extern "C" int QUORVEL_CALL UninitEndPoint(void) {
  quorvel::EndpointState &state = endpointState;
  // At exit the modules behind the platform's objects are usually detached
  // already and their threads gone: a call could hang, or crash in a lock
  // an ended thread held. Then the binding is only forgotten.
  if (!quorvel::stopFollowing(state)) {
    return 1;
  }
  quorvel::replaceVolume(state, nullptr);
  quorvel::releaseAndClear(state.enumerator);
  quorvel::releaseAndClear(state.device);
  quorvel::freeAndClear(state.deviceId);
  if (state.mtaUsage != nullptr) {
    quorvel::platform::releaseMultithreadedApartment(state.mtaUsage);
    state.mtaUsage = nullptr;
  }
  state.bound = false;
  // Undo only our own initialisations, never the host's, and only on the
  // thread they belong to; elsewhere the count waits for that thread.
  if (state.comInitThread == GetCurrentThreadId()) {
    for (; state.comInitCount > 0; --state.comInitCount) {
      CoUninitialize();
    }
  }
  return 1;
}
