#include "control/default_follow.h"

#include "control/control_guard.h"
#include "control/release.h"
#include "notify/device_watch.h"
#include "notify/volume_callback.h"

namespace quorvel {

namespace {

// Set by stopFollowing: requests are refused and queued moves do nothing.
constinit std::atomic<bool> closing{true};
// A change of the default not yet acted upon.
constinit std::atomic<bool> movePending{false};
// A work item is queued or running; it takes every pending change.
constinit std::atomic<bool> moveQueued{false};
// Requests under way plus the queued or running work item: stopFollowing
// waits for these to come to zero.
constinit std::atomic<LONG> moveTickets{0};

void waitUntilZero(const std::atomic<LONG> &count) {
  while (count.load() != 0) {
    Sleep(1);
  }
}

// Tells the host the state of the device it is now bound to. A change
// notification may overtake this snapshot; it is sent all the same, since
// the host has no other way to learn that the device changed.
void tellHost(IAudioEndpointVolume *volume) {
  BOOL muted = 0;
  float level = 0.0f;
  if (SUCCEEDED(volume->GetMute(&muted)) && SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level))) {
    notifySink.TellHost(muted, level);
  }
}

// The current default render device for the console role, with its id, or
// null (and no id) if there is none.
IMMDevice *currentDefault(EndpointState &state, LPWSTR &id) {
  IMMDevice *device = nullptr;
  id = nullptr;
  if (FAILED(state.enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
    return nullptr;
  }
  if (FAILED(device->GetId(&id))) {
    id = nullptr;
  }
  return device;
}

bool isHeld(const EndpointState &state, LPCWSTR id) {
  return id != nullptr && state.deviceId != nullptr && platform::sameEndpointId(id, state.deviceId);
}

// Moves the binding to the current default: the new control is activated
// and registered before the old one is withdrawn and released, so that no
// change on the new device is missed. With no usable default, the binding
// lets go of the old control and the controls act as when not bound.
void moveToDefault(EndpointState &state) {
  LPWSTR id = nullptr;
  IMMDevice *device = currentDefault(state, id);
  if (device != nullptr && isHeld(state, id)) {
    freeAndClear(id);
    device->Release();
    return;
  }
  IAudioEndpointVolume *volume = nullptr;
  if (device != nullptr && FAILED(device->Activate(platform::kIidIAudioEndpointVolume, CLSCTX_ALL,
                                                   nullptr, reinterpret_cast<void **>(&volume)))) {
    volume = nullptr;
  }
  if (volume == nullptr) {
    releaseAndClear(device);
    freeAndClear(id);
    if (state.endpointVolume.load() == nullptr) {
      return;
    }
  } else {
    // A refused registration still leaves the controls on the device the
    // user hears; only its changes go untold.
    volume->RegisterControlChangeNotify(&notifySink);
  }
  replaceVolume(state, volume);
  releaseAndClear(state.device);
  freeAndClear(state.deviceId);
  state.device = device;
  state.deviceId = id;
  if (volume != nullptr) {
    tellHost(volume);
  }
}

DWORD WINAPI moveWork(LPVOID) {
  // A thread-pool thread: COM is initialised for the move and undone after.
  const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  do {
    while (movePending.exchange(false) && !closing.load()) {
      moveToDefault(endpointState);
    }
    moveQueued.store(false);
    // A request made after the last look found the item still queued and
    // left its change pending: take it on, unless another item already has.
  } while (movePending.load() && !closing.load() && !moveQueued.exchange(true));
  if (initialised) {
    CoUninitialize();
  }
  moveTickets.fetch_sub(1);
  return 0;
}

} // namespace

constinit std::atomic<LONG> controlsInUse{0};

void waitForControls() { waitUntilZero(controlsInUse); }

void requestMove() {
  moveTickets.fetch_add(1);
  if (!closing.load()) {
    movePending.store(true);
    if (!moveQueued.exchange(true)) {
      moveTickets.fetch_add(1); // handed to the work item
      if (!QueueUserWorkItem(moveWork, nullptr, WT_EXECUTEDEFAULT)) {
        moveQueued.store(false);
        moveTickets.fetch_sub(1);
      }
    }
  }
  moveTickets.fetch_sub(1);
}

void startFollowing(EndpointState &state) {
  if (FAILED(state.device->GetId(&state.deviceId))) {
    state.deviceId = nullptr;
  }
  closing.store(false);
  state.watching = SUCCEEDED(state.enumerator->RegisterEndpointNotificationCallback(&deviceWatch));
  if (!state.watching) {
    return;
  }
  LPWSTR id = nullptr;
  IMMDevice *device = currentDefault(state, id);
  const bool changed = !isHeld(state, id);
  freeAndClear(id);
  releaseAndClear(device);
  if (changed) {
    requestMove();
  }
}

void stopFollowing(EndpointState &state) {
  closing.store(true);
  if (state.watching) {
    // Nothing can be done about a refused withdrawal; closing already
    // turns away whatever the platform still reports.
    state.enumerator->UnregisterEndpointNotificationCallback(&deviceWatch);
    state.watching = false;
  }
  waitUntilZero(moveTickets);
}

void replaceVolume(EndpointState &state, IAudioEndpointVolume *next) {
  IAudioEndpointVolume *old = state.endpointVolume.exchange(next);
  if (old != nullptr) {
    // Nothing can be done about a refused withdrawal; we let go anyway.
    old->UnregisterControlChangeNotify(&notifySink);
    waitForControls();
    old->Release();
  }
}

} // namespace quorvel
