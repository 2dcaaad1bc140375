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
  } else if (operation < 11) {
    control(choices);
  } else {
    notify(choices);
  }
  audio().clearCalls();
  return failure_.empty() && checkInvariants();
}

void LifecycleDriver::init(ChoiceSource &choices) {
  const bool wasBound = quorvel::endpointState.endpointVolume != nullptr;
  const std::uint64_t callsBefore = Host::calls;
  VolumeChangeCallback callback = choices.next() % 4 == 0 ? nullptr : &Host::callback;

  const auto &kSteps = fake::kBindingSteps;
  const std::uint32_t faultPick = choices.next() % 12;
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
  // Neither a refused CoInitialize nor a refused pin stops the binding.
  const bool shouldBind =
      !faulted || kSteps[faultPick] == Step::CoInitialize || kSteps[faultPick] == Step::PinModule;
  if (result != (shouldBind ? 1 : 0)) {
    fail("InitEndPoint returned " + std::to_string(result));
  }
  expectRegistered_ = result == 1;
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
  if (UninitEndPoint() != 1) {
    fail("UninitEndPoint must return 1");
  }
  audio().clearFaults();
  if (refused && expectRegistered_) {
    if (audio().sinkCount() != 1 || sinkReferences() != 2u) {
      fail("a refused withdrawal must leave exactly the platform's hold");
    }
    // The platform drops the registration later, on its own.
    audio().unregisterSink(&quorvel::notifySink);
  }
  expectedComDepth_ = 0;
  expectRegistered_ = false;
  if (audio().outstandingReferences() != 0) {
    fail("references left after UninitEndPoint: " +
         std::to_string(audio().outstandingReferences()));
  }
}

void LifecycleDriver::control(ChoiceSource &choices) {
  const bool bound = quorvel::endpointState.endpointVolume != nullptr;
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
    const int expected = bound && !faulted && audio().muted.load() != 0 ? 1 : 0;
    if (muted != expected) {
      fail("MuteGet returned " + std::to_string(muted));
    }
    break;
  }
  }
  audio().clearFaults();

  // A control acts exactly when an endpoint volume is held.
  const int platformCalls = static_cast<int>(audio().calls().size());
  if (platformCalls != (bound ? 1 : 0)) {
    fail("control made " + std::to_string(platformCalls) + " platform calls");
  }
  const std::uint64_t told = changed && expectRegistered_ && expectCallback_ ? 1 : 0;
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
  if (reached != (expectRegistered_ ? 1 : 0)) {
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

bool LifecycleDriver::checkInvariants() {
  const quorvel::EndpointState &state = quorvel::endpointState;
  LONG volumeReferences = 0;
  for (const fake::FakeEndpointVolume &volume : audio().volumes) {
    volumeReferences += volume.references();
  }
  figures_.referencesChecked += 3;
  if (audio().enumerator.references() != (state.enumerator != nullptr ? 1 : 0) ||
      audio().device.references() != (state.device != nullptr ? 1 : 0) ||
      volumeReferences != (state.endpointVolume != nullptr ? 1 : 0)) {
    return fail("each held object must hold exactly one reference, and nothing else");
  }
  if (audio().overReleases() != 0) {
    return fail("an object was released more often than referenced");
  }
  if (expectRegistered_ && state.endpointVolume == nullptr) {
    return fail("registered without an endpoint volume");
  }
  if (audio().sinkCount() != (expectRegistered_ ? 1 : 0) ||
      sinkReferences() != 1u + static_cast<ULONG>(audio().sinkCount())) {
    return fail("sink count is not 1 plus the platform's holds");
  }
  if (com().depth() != expectedComDepth_ || com().unbalancedUninitialise != 0) {
    return fail("component runtime unbalanced: depth " + std::to_string(com().depth()) +
                ", expected " + std::to_string(expectedComDepth_) + ", " +
                std::to_string(com().unbalancedUninitialise) + " unmatched CoUninitialize");
  }
  return true;
}

} // namespace fuzz
