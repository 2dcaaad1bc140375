#include <thread>
#include <vector>

#include "library_fixture.h"
#include "notify/device_watch.h"

using fake::audio;
using fake::com;
using fake::Step;
using fake::withoutReleases;
using quorvel::notifySink;
namespace platform = quorvel::platform;

namespace {

bool sameGuid(const GUID &a, const GUID &b) { return platform::sameGuid(a, b); }

} // namespace

// ---- Binding: order and arguments of the platform calls ----

TEST_F(LibraryTest, InitCallsThePlatformInOrderWithTheDocumentedArguments) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);

  std::vector<Step> expected(std::begin(fake::kBindingSteps), std::end(fake::kBindingSteps));
  expected.insert(expected.end(), std::begin(fake::kFollowSteps), std::end(fake::kFollowSteps));
  EXPECT_EQ(withoutReleases(audio().steps()), expected);

  const std::vector<fake::Call> calls = audio().calls();
  EXPECT_EQ(calls[0].pointer, nullptr);
  const fake::Call &create = calls[2];
  EXPECT_TRUE(sameGuid(create.clsid, platform::kClsidMMDeviceEnumerator));
  EXPECT_TRUE(sameGuid(create.iid, platform::kIidIMMDeviceEnumerator));
  EXPECT_EQ(create.context, 1u);
  EXPECT_EQ(create.pointer, nullptr);
  EXPECT_EQ(calls[3].dataFlow, 0);
  EXPECT_EQ(calls[3].role, 0);
  const fake::Call &activate = calls[4];
  EXPECT_TRUE(sameGuid(activate.iid, platform::kIidIAudioEndpointVolume));
  EXPECT_EQ(activate.context, 0x17u);
  EXPECT_EQ(activate.pointer, nullptr);
  // Pinned by an address inside the module, just before the platform may
  // start holding the sink.
  EXPECT_EQ(calls[5].context, 0x5u) << "FROM_ADDRESS | PIN";
  EXPECT_EQ(calls[5].pointer, static_cast<const void *>(&notifySink));
  EXPECT_EQ(calls[6].pointer, static_cast<const void *>(&notifySink));
  // Then it watches the default, and looks at it once more in case it
  // changed meanwhile: here it did not, so nothing is queued.
  EXPECT_EQ(calls[8].pointer, static_cast<const void *>(&quorvel::deviceWatch));
  EXPECT_EQ(calls[9].dataFlow, 0);
  EXPECT_EQ(calls[9].role, 0);
  EXPECT_EQ(audio().queuedWork(), 0);
}

TEST_F(LibraryTest, TheModuleIsPinnedOnlyOnceRegistrationIsReached) {
  for (Step step : {Step::CoCreateGuid, Step::CoCreateInstance, Step::GetDefaultAudioEndpoint,
                    Step::Activate}) {
    audio().failAt(step);
    EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
    audio().clearFaults();
    UninitEndPoint();
  }
  EXPECT_EQ(audio().countOf(Step::PinModule), 0);

  // A refused pin changes nothing else: the binding still works.
  audio().failAt(Step::PinModule);
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  EXPECT_EQ(audio().sinkCount(), 1);
}

TEST_F(LibraryTest, InitHoldsOneReferenceToEachObjectAndRegistersTheSink) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  EXPECT_EQ(state().enumerator, &audio().enumerator);
  EXPECT_EQ(state().device, &audio().device);
  EXPECT_EQ(state().endpointVolume.load(), &audio().volumes[0]);
  EXPECT_EQ(audio().enumerator.references(), 1);
  EXPECT_EQ(audio().device.references(), 1);
  EXPECT_EQ(audio().volumes[0].references(), 1);
  EXPECT_EQ(audio().sinkCount(), 1);
  EXPECT_EQ(sinkReferences(), 2u);
  EXPECT_TRUE(sameGuid(state().eventContext, GUID{1, 0x5A5A, 0xA5A5, {1, 2, 3, 4, 5, 6, 7, 8}}));
}

// ---- Binding: failure at each step ----

struct FailureCase {
  Step step;
  bool enumeratorHeld;
  bool deviceHeld;
  bool volumeHeld;
};

class InitFailureTest : public LibraryTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InitFailureTest, ReturnsZeroKeepsWhatWasObtainedAndUninitReleasesIt) {
  const FailureCase failure = GetParam();
  audio().failAt(failure.step);

  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  EXPECT_EQ(state().enumerator != nullptr, failure.enumeratorHeld);
  EXPECT_EQ(state().device != nullptr, failure.deviceHeld);
  EXPECT_EQ(state().endpointVolume.load() != nullptr, failure.volumeHeld);
  EXPECT_EQ(audio().steps().back(), failure.step);
  EXPECT_EQ(audio().sinkCount(), 0);
  EXPECT_EQ(com().depth(), 1) << "the runtime stays initialised until UninitEndPoint";

  audio().clearFaults();
  audio().clearCalls();
  EXPECT_EQ(UninitEndPoint(), 1);
  EXPECT_EQ(audio().countOf(Step::UnregisterControlChangeNotify),
            failure.volumeHeld && failure.enumeratorHeld ? 1 : 0);
  EXPECT_EQ(audio().countOf(Step::CoUninitialize), 1);
  EXPECT_EQ(audio().outstandingReferences(), 0);
  EXPECT_EQ(state().enumerator, nullptr);
  EXPECT_EQ(state().device, nullptr);
  EXPECT_EQ(state().endpointVolume.load(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InitFailureTest,
    ::testing::Values(FailureCase{Step::CoCreateGuid, false, false, false},
                      FailureCase{Step::CoCreateInstance, false, false, false},
                      FailureCase{Step::GetDefaultAudioEndpoint, true, false, false},
                      FailureCase{Step::Activate, true, true, false},
                      FailureCase{Step::RegisterControlChangeNotify, true, true, true}),
    [](const auto &info) { return fake::stepName(info.param.step); });

TEST_F(LibraryTest, FailedGuidStillStoresTheHostFunction) {
  audio().failAt(Step::CoCreateGuid);
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.fMasterVolume = 0.5f;
  notifySink.OnNotify(&record);
  EXPECT_EQ(HostRecorder::calls, 1);
  EXPECT_EQ(HostRecorder::lastPercent, 50);
}

TEST_F(LibraryTest, NoPlaybackDeviceLeavesEnumeratorHeldWithoutWithdrawal) {
  audio().noDevice = true;
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  EXPECT_NE(state().enumerator, nullptr);
  EXPECT_EQ(state().device, nullptr);
  audio().clearCalls();
  EXPECT_EQ(UninitEndPoint(), 1);
  EXPECT_EQ(audio().countOf(Step::UnregisterControlChangeNotify), 0);
  EXPECT_EQ(audio().enumerator.references(), 0);
}

// ---- The four states ----

TEST_F(LibraryTest, SecondInitWhileBoundChangesNothing) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  const GUID context = state().eventContext;
  audio().clearCalls();

  EXPECT_EQ(InitEndPoint(nullptr), 0);
  EXPECT_TRUE(audio().calls().empty()) << "no CoInitialize, no platform call at all";
  EXPECT_TRUE(sameGuid(state().eventContext, context));

  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.fMasterVolume = 0.25f;
  notifySink.OnNotify(&record);
  EXPECT_EQ(HostRecorder::calls, 1) << "the first host function stays";
}

TEST_F(LibraryTest, FailedRegistrationKeepsControlsWorkingAndRefusesRetriesUntilUninit) {
  audio().failAt(Step::RegisterControlChangeNotify);
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  audio().clearFaults();

  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  EXPECT_EQ(VolumeSet(40), S_OK);
  int percent = -1;
  EXPECT_EQ(VolumeGet(&percent), 1);
  EXPECT_EQ(percent, 40);
  MuteSet(1);
  EXPECT_EQ(MuteGet(), 1);
  EXPECT_EQ(HostRecorder::calls, 0) << "not registered, so nothing is told";

  audio().failAt(Step::UnregisterControlChangeNotify);
  EXPECT_EQ(UninitEndPoint(), 1);
  EXPECT_EQ(audio().countOf(Step::UnregisterControlChangeNotify), 1);
  EXPECT_EQ(audio().outstandingReferences(), 0);
  audio().clearFaults();
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1);
}

TEST_F(LibraryTest, RetryAfterPartialBindingReleasesTheOldReferencesFirst) {
  audio().failAt(Step::Activate);
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  ASSERT_EQ(audio().enumerator.references(), 1);
  ASSERT_EQ(audio().device.references(), 1);
  audio().clearFaults();

  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  EXPECT_EQ(audio().enumerator.references(), 1);
  EXPECT_EQ(audio().device.references(), 1);
  EXPECT_EQ(audio().volumes[0].references(), 1);
}

TEST_F(LibraryTest, NullHostFunctionBindsAndDropsNotifications) {
  ASSERT_EQ(InitEndPoint(nullptr), 1);
  audio().delivery = fake::Delivery::CallerThread;
  EXPECT_EQ(VolumeSet(30), S_OK);
  EXPECT_EQ(HostRecorder::calls, 0);
}

TEST_F(LibraryTest, RebindingAfterUninitMakesAFreshEventContext) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  const GUID first = state().eventContext;
  UninitEndPoint();
  EXPECT_TRUE(sameGuid(state().eventContext, first)) << "UninitEndPoint keeps the context";
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  EXPECT_FALSE(sameGuid(state().eventContext, first));
}

// ---- Release ----

TEST_F(LibraryTest, UninitWithdrawsBothRegistrationsThenReleasesEverything) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  audio().clearCalls();
  EXPECT_EQ(UninitEndPoint(), 1);

  const std::vector<fake::Call> calls = audio().calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].step, Step::UnregisterEndpointNotificationCallback);
  EXPECT_EQ(calls[0].pointer, static_cast<const void *>(&quorvel::deviceWatch));
  EXPECT_EQ(calls[1].step, Step::UnregisterControlChangeNotify);
  EXPECT_EQ(calls[1].pointer, static_cast<const void *>(&notifySink));
  EXPECT_EQ(calls[2].pointer, static_cast<const void *>(&audio().volumes[0]));
  EXPECT_EQ(calls[3].pointer, static_cast<const void *>(&audio().enumerator));
  EXPECT_EQ(calls[4].pointer, static_cast<const void *>(&audio().device));
  EXPECT_EQ(calls[5].step, Step::CoUninitialize);
  EXPECT_EQ(sinkReferences(), 1u);
  EXPECT_EQ(audio().clientCount(), 0);
  EXPECT_EQ(com().allocationsOutstanding, 0) << "the device id is freed";
}

// ---- Component runtime balance ----

TEST_F(LibraryTest, UninitWithoutInitNeverUninitialisesTheHostsRuntime) {
  EXPECT_EQ(UninitEndPoint(), 1);
  EXPECT_EQ(UninitEndPoint(), 1);
  EXPECT_EQ(audio().countOf(Step::CoUninitialize), 0);
  EXPECT_TRUE(withoutReleases(audio().steps()).empty());
}

TEST_F(LibraryTest, EachSuccessfulInitialiseIsBalancedOnce) {
  for (HRESULT status : {S_OK, S_FALSE}) {
    com().initialiseStatus = status;
    audio().clearCalls();
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    UninitEndPoint();
    UninitEndPoint();
    EXPECT_EQ(audio().countOf(Step::CoUninitialize), 1) << "status " << status;
  }
}

TEST_F(LibraryTest, ChangedModeIsUsedButNotBalanced) {
  com().initialiseStatus = RPC_E_CHANGED_MODE;
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  UninitEndPoint();
  EXPECT_EQ(audio().countOf(Step::CoUninitialize), 0);
}

TEST_F(LibraryTest, FailedAttemptsEachBalanceTheirOwnInitialise) {
  audio().failAt(Step::CoCreateInstance);
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0);
  audio().clearFaults();
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  EXPECT_EQ(com().depth(), 3);
  UninitEndPoint();
  EXPECT_EQ(com().depth(), 0);
  EXPECT_EQ(audio().countOf(Step::CoUninitialize), 3);
}

namespace {

// Runs fn on a thread of its own and waits for it.
template <typename Fn> void onOtherThread(Fn fn) { std::thread(fn).join(); }

int uninitialisesOn(unsigned long thread) {
  int count = 0;
  for (const fake::Call &call : audio().calls()) {
    count += call.step == Step::CoUninitialize && call.thread == thread ? 1 : 0;
  }
  return count;
}

} // namespace

TEST_F(LibraryTest, LettingGoOnAnotherThreadLeavesItsRuntimeAloneUntilTheBindingThreadDoes) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  onOtherThread([] {
    com().initialiseStatus = S_FALSE; // the host's own initialisation of this thread
    CoInitialize(nullptr);
    audio().clearCalls();
    EXPECT_EQ(UninitEndPoint(), 1);
    EXPECT_EQ(audio().countOf(Step::CoUninitialize), 0) << "not this thread's to undo";
    EXPECT_EQ(com().depth(), 1);
    EXPECT_EQ(audio().outstandingReferences(), 0) << "the objects are released from any thread";
    CoUninitialize();
  });
  EXPECT_EQ(com().depth(), 1) << "the binding thread's own initialisation waits for it";
  audio().clearCalls();
  UninitEndPoint();
  EXPECT_EQ(uninitialisesOn(fake::currentThreadId()), 1);
  EXPECT_EQ(com().depth(), 0);
}

TEST_F(LibraryTest, BindingOnAnotherThreadStartsAFreshCount) {
  // Two failed attempts on workers, each initialising its own thread.
  audio().failAt(Step::GetDefaultAudioEndpoint);
  for (int i = 0; i < 2; ++i) {
    onOtherThread([] { EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0); });
  }
  audio().clearFaults();
  com().initialiseStatus = S_FALSE; // the host's own apartment on this thread
  CoInitialize(nullptr);

  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  audio().clearCalls();
  UninitEndPoint();
  EXPECT_EQ(uninitialisesOn(fake::currentThreadId()), 1) << "only the library's own S_FALSE";
  EXPECT_EQ(com().depth(), 1) << "the host's initialisation survives";
  CoUninitialize();
  // The workers' initialisations are the ones the library cannot undo.
  EXPECT_EQ(com().totalDepth(), 2);
}
