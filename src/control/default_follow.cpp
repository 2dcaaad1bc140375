#include "control/default_follow.h"

#include "control/control_guard.h"
#include "control/recovery.h"
#include "control/release.h"
#include "notify/device_watch.h"
#include "notify/volume_callback.h"
#include "platform/thread_fate.h"

namespace quorvel {

constinit Atomic<bool> serviceLost{false};

namespace {

// Set by stopFollowing: requests are refused and queued moves do nothing.
constinit Atomic<bool> closing{true};
// A request not yet acted upon.
constinit Atomic<bool> movePending{false};
// A work item is queued or running; it takes every pending request.
constinit Atomic<bool> moveQueued{false};
// Requests under way plus the queued or running work item: stopFollowing
// waits for these to come to zero.
constinit Atomic<LONG> moveTickets{0};
// The id of the thread running the work item; 0 while none runs.
constinit Atomic<LONG> moveThread{0};
// Asks for a look every kLookPeriodMs while following; null otherwise.
// Only InitEndPoint and UninitEndPoint touch it, which the host must not
// run at once.
constinit HANDLE lookTimer = nullptr;

// Waits until count is zero, or gives up with false when that can never
// come: the process is exiting, or the count is owner's (a thread's id, 0
// while none holds it) and that thread has ended.
bool waitUntilZero(const Atomic<LONG> &count, const Atomic<LONG> *owner = nullptr) {
  while (count.load() != 0) {
    const LONG thread = owner != nullptr ? owner->load() : 0;
    if (platform::processExiting() ||
        (thread != 0 && platform::threadEnded(static_cast<DWORD>(thread)))) {
      return false;
    }
    Sleep(1);
  }
  return true;
}

// The audio service drops every registration when it restarts, and the
// device watch, whose endpoint builder usually keeps running, reports
// nothing of it: a host that only listens would hear nothing more. So a
// move is asked for every kLookPeriodMs while bound; one that finds all as
// it was costs a lookup of the default and one call on the held control.
void WINAPI lookTick(PVOID, BOOLEAN) { requestMove(); }

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
// null (and no id) if there is none; status says why not.
IMMDevice *currentDefault(const EndpointState &state, LPWSTR &id, HRESULT &status) {
  IMMDevice *device = nullptr;
  id = nullptr;
  status = state.enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
  if (FAILED(status)) {
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

// The held control answers a cheap call unless its objects were lost in
// place, which often comes with no change of the default to report it.
bool heldStillAnswers(const EndpointState &state) {
  BOOL muted = 0;
  return !platform::mayMeanLost(state.endpointVolume.load()->GetMute(&muted));
}

// The enumerator's failure may mean that the service it spoke for is
// gone, and with it the watch's registration. A new enumerator is made
// here, on the pool's thread; once the watch is registered with it, the old
// one is withdrawn from (a refusal is ignored: the dead service keeps
// nothing of ours) and let go. The enumerator class is free-threaded (its
// threading model is "Both"), so the one made in the pool's multithreaded
// apartment may be used from the host's thread later without marshalling.
// While the service is still down the new one is refused too, and status
// says so.
bool renewEnumerator(EndpointState &state, HRESULT &status) {
  IMMDeviceEnumerator *fresh = nullptr;
  if (FAILED(CoCreateInstance(platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                              platform::kIidIMMDeviceEnumerator,
                              reinterpret_cast<void **>(&fresh)))) {
    return false;
  }
  const HRESULT watch = fresh->RegisterEndpointNotificationCallback(&deviceWatch);
  if (platform::mayMeanLost(watch)) {
    fresh->Release();
    status = watch;
    return false;
  }
  if (state.watching) {
    state.enumerator->UnregisterEndpointNotificationCallback(&deviceWatch);
  }
  state.watching = SUCCEEDED(watch);
  state.enumerator->Release();
  state.enumerator = fresh;
  return true;
}

// Moves the binding to the current default: the new control is activated
// and registered before the old one is withdrawn and released, so that no
// change on the new device is missed. The device held is kept while its
// control answers, so a request made for a control that a move has
// replaced since changes nothing. With no usable default,
// the binding lets go of the old control and the controls act as when not
// bound; if the service said it is gone, they keep asking for rebinds.
void moveToDefault(EndpointState &state) {
  LPWSTR id = nullptr;
  HRESULT status = S_OK;
  IMMDevice *device = currentDefault(state, id, status);
  if (device == nullptr && platform::mayMeanLost(status) && renewEnumerator(state, status)) {
    device = currentDefault(state, id, status);
  }
  if (device != nullptr && isHeld(state, id) && heldStillAnswers(state)) {
    freeAndClear(id);
    device->Release();
    return;
  }
  IAudioEndpointVolume *volume = nullptr;
  if (device != nullptr) {
    status = device->Activate(platform::kIidIAudioEndpointVolume, CLSCTX_ALL, nullptr,
                              reinterpret_cast<void **>(&volume));
    if (FAILED(status)) {
      volume = nullptr;
    }
  }
  serviceLost.store(volume == nullptr && platform::mayMeanLost(status));
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
  do {
    // Cleared before another item can be queued, so that it never clears
    // that item's id.
    moveThread.store(static_cast<LONG>(GetCurrentThreadId()));
    // A thread-pool thread: COM is initialised for a round of moves and
    // undone before the item gives up its turn.
    const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    while (movePending.exchange(false) && !closing.load()) {
      moveToDefault(endpointState);
      if (serviceLost.load()) {
        // Requests made meanwhile wait for the next attempt.
        Sleep(kRebindSpacingMs);
      }
    }
    if (initialised) {
      CoUninitialize();
    }
    moveThread.store(0);
    moveQueued.store(false);
    // A request made after the last look found the item still queued and
    // left its change pending: take it on, unless another item already has.
  } while (movePending.load() && !closing.load() && !moveQueued.exchange(true));
  moveTickets.fetch_sub(1);
  return 0;
}

} // namespace

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
  // Left null if refused: the binding then does without the look.
  CreateTimerQueueTimer(&lookTimer, nullptr, lookTick, nullptr, kLookPeriodMs, kLookPeriodMs,
                        WT_EXECUTEINTIMERTHREAD);
  state.watching = SUCCEEDED(state.enumerator->RegisterEndpointNotificationCallback(&deviceWatch));
  if (!state.watching) {
    return;
  }
  LPWSTR id = nullptr;
  HRESULT status = S_OK;
  IMMDevice *device = currentDefault(state, id, status);
  const bool changed = !isHeld(state, id);
  freeAndClear(id);
  releaseAndClear(device);
  if (changed) {
    requestMove();
  }
}

void stopFollowing(EndpointState &state) {
  closing.store(true);
  // Deleting the timer waits for a tick in progress, so no look is asked
  // for after this. At exit the timer's thread is gone and would never
  // answer; the process takes the timer with it.
  if (lookTimer != nullptr && !platform::processExiting()) {
    DeleteTimerQueueTimer(nullptr, lookTimer, INVALID_HANDLE_VALUE);
  }
  lookTimer = nullptr;
  // A move may still renew the enumerator, so the watch is withdrawn from
  // whichever one holds it once no move runs.
  if (!waitUntilZero(moveTickets, &moveThread)) {
    // The move can never finish, and may be using any of the platform's
    // objects: they are leaked rather than released under it, and the
    // follow state starts afresh for a later binding.
    state.endpointVolume.exchange(nullptr);
    state.enumerator = nullptr;
    state.device = nullptr;
    state.deviceId = nullptr;
    state.watching = false;
    moveTickets.store(0);
    moveThread.store(0);
    moveQueued.store(false);
    movePending.store(false);
  }
  serviceLost.store(false);
  if (state.watching) {
    // Nothing can be done about a refused withdrawal; closing already
    // turns away whatever the platform still reports.
    state.enumerator->UnregisterEndpointNotificationCallback(&deviceWatch);
    state.watching = false;
  }
}

void replaceVolume(EndpointState &state, IAudioEndpointVolume *next) {
  const VolumeSlot &replaced = state.endpointVolume.exchange(next);
  IAudioEndpointVolume *old = replaced.volume;
  if (old != nullptr) {
    // Nothing can be done about a refused withdrawal; we let go anyway.
    old->UnregisterControlChangeNotify(&notifySink);
  }
  // Also when nothing was held: the slot is written by the next remover.
  // At exit a control's thread may have been ended while counted in; the
  // old control is then left to it.
  if (waitUntilZero(replaced.inUse) && old != nullptr) {
    old->Release();
  }
}

} // namespace quorvel
