#include "control/default_follow.h"

#include "control/control_guard.h"
#include "control/recovery.h"
#include "control/release.h"
#include "notify/device_watch.h"
#include "notify/volume_callback.h"
#include "platform/mta_usage.h"
#include "platform/process_exit.h"

namespace quorvel {

constinit Atomic<bool> serviceLost{false};

namespace {

// Whether moves may run. Closed from load on and from the start of
// UninitEndPoint; opening while the host's thread sets a binding's follow
// state up, when requests are noted but left to startFollowing.
enum : LONG { kClosed, kOpening, kOpen };
constinit Atomic<LONG> phase{kClosed};
// requestMove calls under way: stopFollowing waits for them.
constinit Atomic<LONG> requestsUnderWay{0};
// A request not yet acted upon.
constinit Atomic<bool> movePending{false};
// The one work item: kNoMove, its ticket while it is queued, or its ticket
// with kRunning set once it has started. The ticket names the item, so
// that one UninitEndPoint has forgotten does nothing when it starts, also
// after another has been queued for a new binding.
constexpr LONG kNoMove = 0;
constexpr LONG kRunning = 1;
constinit Atomic<LONG> moveStage{kNoMove};
constinit Atomic<LONG> ticketsIssued{0};
// Set by a new binding and by each look period, cleared by a renewal of the
// enumerator: with no device at all every look fails, and a renewal costs
// the service an enumerator made and registered.
constinit Atomic<bool> renewalAllowed{false};
// When a failure may next ask for a move (GetTickCount's clock), and the
// spacing that led there; 0 before the binding's first.
constinit Atomic<LONG> failureLookDue{0};
constinit Atomic<LONG> failureSpacing{0};
// Asks for a look every kLookPeriodMs while following; null otherwise.
// Only InitEndPoint and UninitEndPoint touch it, which the host must not
// run at once.
constinit PTP_TIMER lookTimer = nullptr;

// Waits until count is zero; false if the process began to exit meanwhile,
// when a thread counted in may have been ended and it never would be.
bool waitUntilZero(const Atomic<LONG> &count) {
  while (count.load() != 0) {
    if (platform::processExiting()) {
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
void WINAPI lookTick(PTP_CALLBACK_INSTANCE, PVOID, PTP_TIMER) {
  if (phase.load() == kOpen) {
    renewalAllowed.store(true);
    requestMove();
  }
}

// The look fires within kLookWindowMs after each period, so that the
// system can wake the processor for it together with other timers. Left
// null if refused: the binding then does without the look.
void startLooking() {
  lookTimer = CreateThreadpoolTimer(lookTick, nullptr, nullptr);
  if (lookTimer != nullptr) {
    // Relative, in units of 100 ns.
    constexpr LONGLONG kDue = -static_cast<LONGLONG>(kLookPeriodMs) * 10000;
    FILETIME due{static_cast<DWORD>(kDue), static_cast<DWORD>(kDue >> 32)};
    SetThreadpoolTimer(lookTimer, &due, kLookPeriodMs, kLookWindowMs);
  }
}

// Without waiting for a tick in progress: it may be waiting for the
// caller's thread, or at its start for the loader lock the caller holds.
// A late tick finds the binding closed, in the pinned module.
void stopLooking() {
  if (lookTimer != nullptr) {
    SetThreadpoolTimer(lookTimer, nullptr, 0, 0);
    CloseThreadpoolTimer(lookTimer);
    lookTimer = nullptr;
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

// Whether the default found is the device held, as far as can be told:
// with either id unknown it cannot be told apart, and a look that rebound
// it would do so every time, telling the host the same state again. An id
// that the binding could not have may be had now.
bool mayBeHeld(EndpointState &state, LPCWSTR id) {
  if (state.endpointVolume.load() == nullptr) {
    return false;
  }
  if (state.deviceId == nullptr && FAILED(state.device->GetId(&state.deviceId))) {
    state.deviceId = nullptr;
  }
  return id == nullptr || state.deviceId == nullptr || platform::sameEndpointId(id, state.deviceId);
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
  if (device == nullptr && platform::mayMeanLost(status) && renewalAllowed.exchange(false) &&
      renewEnumerator(state, status)) {
    device = currentDefault(state, id, status);
  }
  if (device != nullptr && mayBeHeld(state, id) && heldStillAnswers(state)) {
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

DWORD WINAPI moveWork(LPVOID context) {
  const LONG ticket = static_cast<LONG>(reinterpret_cast<INT_PTR>(context));
  for (LONG queued = ticket; !moveStage.compare_exchange_weak(queued, ticket | kRunning);
       queued = ticket) {
    if (queued != ticket) {
      return 0; // forgotten by UninitEndPoint
    }
  }
  // Inside the apartment held while bound, a pool thread needs no set-up;
  // where it cannot be held, COM is initialised for the round and undone.
  const bool initialised =
      endpointState.mtaUsage == nullptr && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  while (movePending.exchange(false) && phase.load() == kOpen) {
    moveToDefault(endpointState);
  }
  if (initialised) {
    CoUninitialize();
  }
  moveStage.store(kNoMove);
  // A request made after the last look found this item running and left
  // its change to it.
  if (movePending.load()) {
    requestMove();
  }
  return 0;
}

// Queues the work item unless one is queued or running, which then takes
// the request.
void queueMove() {
  const LONG ticket = static_cast<LONG>((static_cast<DWORD>(ticketsIssued.fetch_add(1)) << 2) | 2);
  for (LONG idle = kNoMove; !moveStage.compare_exchange_weak(idle, ticket); idle = kNoMove) {
    if (idle != kNoMove) {
      return;
    }
  }
  if (!QueueUserWorkItem(moveWork, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(ticket)),
                         WT_EXECUTEDEFAULT)) {
    moveStage.store(kNoMove);
  }
}

} // namespace

void requestMove() {
  requestsUnderWay.fetch_add(1);
  if (phase.load() != kClosed) {
    movePending.store(true);
    if (phase.load() == kOpen) {
      queueMove();
    }
  }
  requestsUnderWay.fetch_sub(1);
}

void requestMoveAfterFailure() {
  const DWORD now = GetTickCount();
  LONG due = failureLookDue.load();
  const DWORD spacing = static_cast<DWORD>(failureSpacing.load());
  // A due time more than a period ahead is an old one that the clock has
  // wrapped past.
  const DWORD ahead = static_cast<DWORD>(due) - now;
  if (spacing != 0 && ahead != 0 && ahead <= kLookPeriodMs) {
    return;
  }
  // Failures that go on double the spacing; after a quiet period it starts
  // again from the shortest.
  const bool goingOn = spacing != 0 && now - static_cast<DWORD>(due) < kLookPeriodMs;
  const DWORD next =
      !goingOn ? kRebindSpacingMs : (spacing * 2 < kLookPeriodMs ? spacing * 2 : kLookPeriodMs);
  // Another thread's failure may have taken this turn.
  if (failureLookDue.compare_exchange_weak(due, static_cast<LONG>(now + next))) {
    failureSpacing.store(static_cast<LONG>(next));
    requestMove();
  }
}

void startFollowing(EndpointState &state) {
  if (FAILED(state.device->GetId(&state.deviceId))) {
    state.deviceId = nullptr;
  }
  state.mtaUsage = platform::holdMultithreadedApartment();
  renewalAllowed.store(true);
  failureSpacing.store(0);
  // From here requests are noted; the host's thread alone uses the
  // enumerator and the state until the binding is open.
  phase.store(kOpening);
  state.watching = SUCCEEDED(state.enumerator->RegisterEndpointNotificationCallback(&deviceWatch));
  bool changed = false;
  if (state.watching) {
    LPWSTR id = nullptr;
    HRESULT status = S_OK;
    IMMDevice *device = currentDefault(state, id, status);
    changed = device == nullptr || !mayBeHeld(state, id);
    freeAndClear(id);
    releaseAndClear(device);
  }
  phase.store(kOpen);
  if (changed || movePending.load()) {
    requestMove();
  }
  startLooking();
}

bool stopFollowing(EndpointState &state) {
  phase.store(kClosed);
  bool settled = !platform::processExiting();
  if (settled) {
    stopLooking();
  }
  // Requests under way are waited for, so that none queues a move once no
  // move is found. A move queued but not started may be held back for
  // good: during FreeLibrary its thread waits at its start for the loader
  // lock that the caller holds. It is forgotten, and does nothing when it
  // starts. A running one is waited for.
  while (settled) {
    const bool requesting = requestsUnderWay.load() != 0;
    LONG stage = moveStage.load();
    if (!requesting && stage == kNoMove) {
      break;
    }
    if (!requesting && (stage & kRunning) == 0) {
      moveStage.compare_exchange_weak(stage, kNoMove);
    } else if (platform::processExiting()) {
      settled = false;
    } else {
      Sleep(1);
    }
  }
  movePending.store(false);
  serviceLost.store(false);
  if (!settled) {
    // Every other thread is gone, so nothing changes these any more.
    lookTimer = nullptr;
    requestsUnderWay.store(0);
    moveStage.store(kNoMove);
    state.endpointVolume.exchange(nullptr);
    state.enumerator = nullptr;
    state.device = nullptr;
    state.deviceId = nullptr;
    state.watching = false;
    state.mtaUsage = nullptr;
    state.bound = false;
    state.comInitCount = 0;
    return false;
  }
  if (state.watching) {
    // Nothing can be done about a refused withdrawal; the closed phase
    // already turns away whatever the platform still reports.
    state.enumerator->UnregisterEndpointNotificationCallback(&deviceWatch);
    state.watching = false;
  }
  return true;
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
