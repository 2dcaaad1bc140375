#include "lifecycle_driver.h"

#include <climits>
#include <cstring>
#include <limits>

#include "control/endpoint_state.h"
#include "fake_audio.h"
#include "fake_com_runtime.h"
#include "notify/volume_callback.h"
#include "quorvel.h"

namespace fuzz {

using fake::audio;
using fake::com;
using fake::Step;

namespace {

struct Host {
  static inline std::uint64_t calls = 0;
  static inline int lastMuted = 0;
  static inline int lastPercent = 0;
  static int QUORVEL_CALL callback(int muted, int percent) {
    ++calls;
    lastMuted = muted;
    lastPercent = percent;
    return 0;
  }
};

// The device whose control the library holds, or -1.
int heldDevice() { return fake::deviceOf(quorvel::endpointState.endpointVolume.load()); }

ULONG sinkReferences() {
  quorvel::notifySink.AddRef();
  return quorvel::notifySink.Release();
}

int pickPercent(ChoiceSource &choices) {
  static const int kInteresting[] = {INT_MIN, -101, -1, 0, 1, 33, 50, 99, 100, 101, INT_MAX};
  const std::uint32_t pick = choices.next();
  const std::uint32_t index = pick % 16;
  return index < std::size(kInteresting) ? kInteresting[index] : static_cast<int>(choices.next());
}

float pickLevel(ChoiceSource &choices) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  static const float kInteresting[] = {std::numeric_limits<float>::quiet_NaN(),
                                       kInf,
                                       -kInf,
                                       -0.5f,
                                       -0.0f,
                                       0.0f,
                                       std::numeric_limits<float>::denorm_min(),
                                       0.005f,
                                       0.125f,
                                       0.5f,
                                       0.995f,
                                       1.0f,
                                       1.5f,
                                       1e30f,
                                       -1e30f,
                                       std::numeric_limits<float>::max()};
  const std::uint32_t index = choices.next() % 24;
  if (index < std::size(kInteresting)) {
    return kInteresting[index];
  }
  const std::uint32_t bits = choices.next();
  float level;
  std::memcpy(&level, &bits, sizeof level);
  return level;
}

} // namespace

std::uint32_t SeededChoices::next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1DULL) >> 32);
}

std::uint32_t ByteChoices::next() {
  std::uint32_t value = 0;
  for (int i = 0; i < 4 && offset_ < size_; ++i) {
    value |= static_cast<std::uint32_t>(data_[offset_++]) << (8 * i);
  }
  return value;
}

LifecycleDriver::LifecycleDriver() {
  audio().clearFaults();
  UninitEndPoint();
  if (com().unbalancedUninitialise != 0) {
    fail("UninitEndPoint undid an initialisation the library never made");
  }
  audio().reset();
  com().reset();
  audio().delivery = fake::Delivery::CallerThread;
  Host::calls = 0;
}

LifecycleDriver::~LifecycleDriver() {
  audio().clearFaults();
  UninitEndPoint();
  audio().reset();
  com().reset();
}

bool LifecycleDriver::fail(const std::string &what) {
  if (failure_.empty()) {
    failure_ = "after operation " + std::to_string(figures_.operations) + ": " + what;
  }
  return false;
}

bool LifecycleDriver::step(ChoiceSource &choices) {
  ++figures_.operations;
  const std::uint32_t operation = choices.next() % 16;
  if (operation < 3) {
    init(choices);
  } else if (operation < 5) {
    uninit(choices);
  } else if (operation < 10) {
    control(choices);
  } else if (operation < 13) {
    notify(choices);
  } else {
    switchDefault(choices);
  }
  audio().clearCalls();
  return failure_.empty() && checkInvariants();
}

void LifecycleDriver::init(ChoiceSource &choices) {
  const bool wasBound = quorvel::endpointState.bound;
  const std::uint64_t callsBefore = Host::calls;
  VolumeChangeCallback callback = choices.next() % 4 == 0 ? nullptr : &Host::callback;

  // Every binding step, then the two steps of following the default that
  // can fail on their own: the device's id and the watch's registration.
  static const Step kSteps[] = {Step::CoInitialize,
                                Step::CoCreateGuid,
                                Step::CoCreateInstance,
                                Step::GetDefaultAudioEndpoint,
                                Step::Activate,
                                Step::PinModule,
                                Step::RegisterControlChangeNotify,
                                Step::GetId,
                                Step::RegisterEndpointNotificationCallback};
  const std::uint32_t faultPick = choices.next() % 14;
  const bool faulted = faultPick < std::size(kSteps);
  if (faulted) {
    const HRESULT status = choices.next() % 2 == 0 ? E_FAIL : RPC_E_CHANGED_MODE;
    audio().failAt(kSteps[faultPick], status);
    ++figures_.faultsInjected;
  }
  com().initialiseStatus = choices.next() % 2 == 0 ? S_OK : S_FALSE;

  const int result = InitEndPoint(callback);
  audio().clearFaults();

  if (wasBound) {
    if (result != 0 || !audio().calls().empty()) {
      fail("InitEndPoint while bound must return 0 and call nothing");
    }
    return;
  }
  const bool initialised = !(faulted && kSteps[faultPick] == Step::CoInitialize);
  expectedComDepth_ += initialised ? 1 : 0;
  // Neither a refused CoInitialize, a refused pin, nor a refusal while
  // setting up to follow the default stops the binding; no default does.
  const Step faultAt = faulted ? kSteps[faultPick] : Step::Count;
  const bool shouldBind =
      audio().defaultDevice() >= 0 &&
      (!faulted || faultAt == Step::CoInitialize || faultAt == Step::PinModule ||
       faultAt == Step::GetId || faultAt == Step::RegisterEndpointNotificationCallback);
  if (result != (shouldBind ? 1 : 0)) {
    fail("InitEndPoint returned " + std::to_string(result));
  }
  expectRegistered_ = result == 1;
  expectWatching_ = result == 1 && faultAt != Step::RegisterEndpointNotificationCallback;
  expectCallback_ = callback != nullptr;
  if (Host::calls != callsBefore) {
    fail("binding called the host");
  }
}

void LifecycleDriver::uninit(ChoiceSource &choices) {
  // A refused withdrawal leaves the sink with the platform; the library
  // still lets go of everything.
  const bool refused = choices.next() % 8 == 0;
  if (refused) {
    audio().failAt(Step::UnregisterControlChangeNotify);
    ++figures_.faultsInjected;
  }
  // A move still queued is forgotten, and does nothing when it runs later:
  // no platform call of a move may follow the watch's withdrawal.
  if (UninitEndPoint() != 1) {
    fail("UninitEndPoint must return 1");
  }
  audio().clearFaults();
  bool withdrawn = false;
  for (Step step : audio().steps()) {
    withdrawn = withdrawn || step == Step::UnregisterEndpointNotificationCallback;
    if (withdrawn && (step == Step::Activate || step == Step::RegisterControlChangeNotify)) {
      fail("a move ran after the watch was withdrawn");
    }
  }
  if (audio().countOf(Step::UnregisterEndpointNotificationCallback) != (expectWatching_ ? 1 : 0)) {
    fail("the watch must be withdrawn exactly once when registered");
  }
  expectWatching_ = false;
  if (refused && audio().sinkCount() == 1) {
    if (sinkReferences() != 2u) {
      fail("a refused withdrawal must leave exactly the platform's hold");
    }
    // The platform drops the registration later, on its own.
    audio().unregisterSink(nullptr, &quorvel::notifySink);
  }
  expectedComDepth_ = 0;
  expectRegistered_ = false;
  if (audio().outstandingReferences() != 0) {
    fail("references left after UninitEndPoint: " +
         std::to_string(audio().outstandingReferences()));
  }
}

void LifecycleDriver::control(ChoiceSource &choices) {
  const bool bound = quorvel::endpointState.endpointVolume.load() != nullptr;
  static const Step kControlSteps[] = {Step::SetMasterVolumeLevelScalar,
                                       Step::GetMasterVolumeLevelScalar, Step::SetMute,
                                       Step::GetMute};
  const std::uint32_t which = choices.next() % 4;
  const bool faulted = choices.next() % 8 == 0;
  if (faulted) {
    audio().failAt(kControlSteps[which], E_NOTIMPL);
    ++figures_.faultsInjected;
  }
  const std::uint64_t callsBefore = Host::calls;
  bool changed = false;
  switch (which) {
  case 0: {
    const HRESULT result = VolumeSet(pickPercent(choices));
    const HRESULT expected = !bound ? AUDCLNT_E_NOT_INITIALIZED : (faulted ? E_NOTIMPL : S_OK);
    if (result != expected) {
      fail("VolumeSet returned " + std::to_string(result));
    }
    changed = bound && !faulted;
    break;
  }
  case 1: {
    constexpr int kUntouched = INT_MIN + 7;
    int percent = kUntouched;
    const bool withPointer = choices.next() % 4 != 0;
    if (VolumeGet(withPointer ? &percent : nullptr) != 1) {
      fail("VolumeGet must return 1");
    }
    const bool written = percent != kUntouched;
    if (written != (bound && !faulted && withPointer) ||
        (written && (percent < 0 || percent > 100))) {
      fail("VolumeGet wrote " + std::to_string(percent));
    }
    break;
  }
  case 2:
    if (MuteSet(pickPercent(choices)) != 1) {
      fail("MuteSet must return 1");
    }
    changed = bound && !faulted;
    break;
  default: {
    const int muted = MuteGet();
    const int expected =
        bound && !faulted && audio().devices[heldDevice()].muted.load() != 0 ? 1 : 0;
    if (muted != expected) {
      fail("MuteGet returned " + std::to_string(muted));
    }
    break;
  }
  }
  audio().clearFaults();

  // A control acts exactly when an endpoint volume is held; unbound, it may
  // only ask for a look.
  const int platformCalls =
      static_cast<int>(audio().calls().size()) - audio().countOf(Step::QueueUserWorkItem);
  if (platformCalls != (bound ? 1 : 0)) {
    fail("control made " + std::to_string(platformCalls) + " platform calls");
  }
  const std::uint64_t told = changed && audio().sinkCount() == 1 && expectCallback_ ? 1 : 0;
  figures_.notificationsForwarded += told;
  if (Host::calls - callsBefore != told) {
    fail("own change reached the host " + std::to_string(Host::calls - callsBefore) + " times");
  }
}

void LifecycleDriver::notify(ChoiceSource &choices) {
  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.bMuted = static_cast<BOOL>(choices.next() % 3 == 0 ? choices.next() : choices.next() % 2);
  record.fMasterVolume = pickLevel(choices);
  record.nChannels = 1;
  record.afChannelVolumes[0] = record.fMasterVolume;
  const bool withRecord = choices.next() % 16 != 0;

  const std::uint64_t callsBefore = Host::calls;
  const int reached = audio().notifySinks(withRecord ? &record : nullptr);
  if (reached != (expectRegistered_ && heldDevice() >= 0 ? 1 : 0)) {
    fail("notification reached " + std::to_string(reached) + " sinks");
  }
  const std::uint64_t told = reached == 1 && withRecord && expectCallback_ ? 1 : 0;
  figures_.notificationsForwarded += told;
  if (Host::calls - callsBefore != told) {
    fail("notification reached the host " + std::to_string(Host::calls - callsBefore) + " times");
  } else if (told == 1 && Host::lastMuted != record.bMuted) {
    fail("mute flag changed on the way to the host");
  }
}

// The default changes (to another device, to none, or to the same one),
// or a change the library ignores is reported; the moves asked for run now
// or later.
void LifecycleDriver::switchDefault(ChoiceSource &choices) {
  const std::uint32_t pick = choices.next() % 6;
  if (pick < 3) {
    audio().switchDefault(static_cast<int>(pick) - 1);
  } else {
    const WCHAR *id = audio().devices[pick % 2].id();
    audio().notifyDefaultChanged(pick == 3 ? eCapture : eRender, pick == 3 ? eConsole : eMultimedia,
                                 id);
  }
  if (choices.next() % 2 == 0) {
    const std::uint64_t callsBefore = Host::calls;
    const int moves = audio().runQueuedWork();
    figures_.movesRun += static_cast<std::uint64_t>(moves);
    if (Host::calls - callsBefore > (expectCallback_ ? static_cast<std::uint64_t>(moves) : 0u)) {
      fail("a move told the host more than once, or told a host that gave no function");
    }
  }
}

bool LifecycleDriver::checkInvariants() {
  const quorvel::EndpointState &state = quorvel::endpointState;
  LONG volumeReferences = 0;
  for (const fake::FakeEndpointVolume &volume : audio().volumes) {
    volumeReferences += volume.references();
  }
  // A failed lookup of the default may have had the enumerator renewed.
  const LONG enumeratorReferences =
      audio().enumerators[0].references() + audio().enumerators[1].references();
  figures_.referencesChecked += 3;
  if (enumeratorReferences != (state.enumerator != nullptr ? 1 : 0) ||
      audio().devices[0].references() + audio().devices[1].references() !=
          (state.device != nullptr ? 1 : 0) ||
      volumeReferences != (state.endpointVolume.load() != nullptr ? 1 : 0)) {
    return fail("each held object must hold exactly one reference, and nothing else");
  }
  if (audio().overReleases() != 0 || audio().usesAfterRelease() != 0) {
    return fail("an object was released more often than referenced, or used after");
  }
  if (expectRegistered_ && heldDevice() < 0 && !expectWatching_) {
    return fail("registered without an endpoint volume");
  }
  if (audio().sinkCount() != (expectRegistered_ && heldDevice() >= 0 ? 1 : 0) ||
      sinkReferences() != 1u + static_cast<ULONG>(audio().sinkCount())) {
    return fail("sink count is not 1 plus the platform's holds");
  }
  if (audio().clientCount() != (expectWatching_ ? 1 : 0)) {
    return fail("the watch must be registered exactly while following the default");
  }
  // Once every move asked for has run, the library holds the default.
  if (expectWatching_ && audio().queuedWork() == 0 && heldDevice() != audio().defaultDevice()) {
    return fail("holds device " + std::to_string(heldDevice()) + " while the default is " +
                std::to_string(audio().defaultDevice()));
  }
  if (audio().callbackViolations() != 0 || com().allocationsOutstanding < 0) {
    return fail("a platform callback released a last reference or waited");
  }
  if (com().depth() != expectedComDepth_ || com().unbalancedUninitialise != 0) {
    return fail("component runtime unbalanced: depth " + std::to_string(com().depth()) +
                ", expected " + std::to_string(expectedComDepth_) + ", " +
                std::to_string(com().unbalancedUninitialise) + " unmatched CoUninitialize");
  }
  return true;
}

} // namespace fuzz
