#include <chrono>
#include <cstdint>
#include <thread>

#include "control/recovery.h"
#include "library_fixture.h"
#include "notify/device_watch.h"

using fake::audio;
using fake::com;
using fake::Step;

namespace {

// Bound to the first device, at 40%; changes are reported on the caller's
// thread and moves run when the test runs the queued work.
class RecoveryTest : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    audio().delivery = fake::Delivery::CallerThread;
    audio().device.level = 0.4f;
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    audio().clearCalls();
  }

  // Told once, the controls act on a control that answers, and both
  // registrations are in place.
  static void expectRebound() {
    EXPECT_EQ(HostRecorder::calls, 1);
    EXPECT_EQ(HostRecorder::lastPercent, 40);
    EXPECT_EQ(VolumeSet(70), S_OK);
    EXPECT_FLOAT_EQ(audio().device.level.load(), 0.7f);
    EXPECT_EQ(audio().sinkCount(), 1);
    EXPECT_EQ(audio().clientCount(), 1);
  }
};

} // namespace

TEST_F(RecoveryTest, LostObjectsAreReplacedAndTheHostToldOnce) {
  // The first device's objects are lost in place; then either a device
  // event or the host's next call has the library look again.
  const struct {
    const char *name;
    void (*lose)();
  } cases[] = {
      {"a state change", [] { quorvel::deviceWatch.OnDeviceStateChanged(audio().device.id(), 1); }},
      {"a device added", [] { quorvel::deviceWatch.OnDeviceAdded(audio().devices[1].id()); }},
      {"a device removed", [] { quorvel::deviceWatch.OnDeviceRemoved(audio().devices[1].id()); }},
      {"no report: the next call returns as before",
       [] { EXPECT_EQ(VolumeSet(30), fake::kDeviceInvalidated); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    audio().invalidate(0);
    c.lose();
    audio().runQueuedWork();
    expectRebound();
    TearDown();
    SetUp();
  }
}

TEST_F(RecoveryTest, AServiceDownThenBackIsBoundAgainOnce) {
  audio().stopService();
  MuteGet();
  audio().runQueuedWork();
  audio().clearCalls();
  com().clock += quorvel::kRebindSpacingMs;
  EXPECT_EQ(VolumeSet(50), AUDCLNT_E_NOT_INITIALIZED);
  EXPECT_EQ(audio().calls().size(), 1u) << "unbound, only queueing another attempt";
  audio().runQueuedWork();
  EXPECT_EQ(audio().countOf(Step::CoCreateInstance), 0) << "one new enumerator per look period";
  audio().startService();
  // A call while the rebind activates asks again, and changes nothing.
  audio().hook = [](Step step) {
    if (step == Step::Activate) {
      audio().hook = nullptr;
      MuteGet();
    }
  };
  ASSERT_TRUE(com().tick());
  audio().runQueuedWork();
  expectRebound();
}

TEST_F(RecoveryTest, UninitEndPointWaitsForARenewalUnderWay) {
  audio().workMode = fake::WorkMode::Thread;
  audio().stopService();
  audio().startService();
  static std::atomic<bool> renewing{false};
  renewing = false;
  audio().hook = [](Step step) {
    if (step == Step::CoCreateInstance && !renewing.exchange(true)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  ASSERT_TRUE(com().tick());
  for (int waited = 0; !renewing && waited < 2000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(renewing) << "the look renews the enumerator";
  UninitEndPoint();
  EXPECT_EQ(audio().clientCount(), 0) << "withdrawn from the new enumerator";
}

// A host calling every millisecond for two seconds while a failure goes on
// makes few looks, each spaced further than the last; the look period's
// tick comes once. Each millisecond is long enough for a move to finish.
// Once the failure ends, the next tick binds again.
TEST_F(RecoveryTest, AFailureThatGoesOnMakesFewLooksAndRecoveryFollowsTheNextTick) {
  const struct {
    const char *name;
    void (*fail)();
    void (*call)();
  } cases[] = {
      {"setters fail", [] { audio().failAt(Step::SetMasterVolumeLevelScalar); },
       [] { VolumeSet(30); }},
      {"GetMute fails", [] { audio().failAt(Step::GetMute); }, [] { MuteGet(); }},
      {"no device",
       [] {
         audio().noDevice = true;
         audio().invalidate(0);
       },
       [] { VolumeSet(30); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    audio().workMode = fake::WorkMode::Thread;
    c.fail();
    for (DWORD ms = 1; ms <= 2000; ++ms) {
      c.call();
      com().clock += 1;
      if (ms % quorvel::kLookPeriodMs == 0) {
        com().tick();
      }
      audio().joinWork();
    }
    EXPECT_LE(audio().countOf(Step::GetDefaultAudioEndpoint), 45);
    EXPECT_LE(audio().countOf(Step::Activate), 45);
    EXPECT_LE(audio().countOf(Step::CoCreateInstance), 3);

    audio().clearFaults();
    audio().noDevice = false;
    ASSERT_TRUE(com().tick());
    audio().joinWork();
    EXPECT_EQ(VolumeSet(40), S_OK);
    EXPECT_EQ(audio().sinkCount(), 1);
    TearDown();
    SetUp();
  }
}

TEST_F(RecoveryTest, EveryFailureButARefusalAsksForALook) {
  // The test's own list, so that a status dropped from or added to the
  // library's rule fails a row.
  const struct {
    std::uint32_t status;
    bool looks;
  } cases[] = {
      {0x88890004, true},  {0x88890026, true},  {0x88890010, true},  {0x80010108, true},
      {0x800706BA, true},  {0x80070490, true},  {0x800706BE, true},  {0x800706D9, true},
      {0x80070006, true},  {0x8889000F, true},  {0x80070057, false}, {0x80004003, false},
      {0x80004001, false}, {0x8007000E, false}, {0x80070005, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.status);
    com().clock += quorvel::kLookPeriodMs;
    audio().failAt(Step::SetMasterVolumeLevelScalar, static_cast<HRESULT>(c.status));
    EXPECT_EQ(VolumeSet(30), static_cast<HRESULT>(c.status));
    EXPECT_EQ(audio().queuedWork(), c.looks ? 1 : 0);
    audio().clearFaults();
    audio().runQueuedWork();
  }
}

TEST_F(RecoveryTest, EachControlAsksForALookWhenItsCallFails) {
  const struct {
    Step step;
    void (*call)();
  } cases[] = {
      {Step::SetMute, [] { MuteSet(1); }},
      {Step::GetMute, [] { MuteGet(); }},
      {Step::SetMasterVolumeLevelScalar, [] { VolumeSet(30); }},
      {Step::GetMasterVolumeLevelScalar,
       [] {
         int percent = 0;
         VolumeGet(&percent);
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(fake::stepName(c.step));
    com().clock += quorvel::kLookPeriodMs;
    audio().failAt(c.step, static_cast<HRESULT>(0x800706BEu)); // RPC_S_CALL_FAILED
    c.call();
    EXPECT_EQ(audio().queuedWork(), 1);
    audio().clearFaults();
    audio().runQueuedWork();
  }
}

TEST_F(RecoveryTest, AHostThatOnlyListensIsBoundAfreshAtTheNextLook) {
  EXPECT_GT(com().timerPeriod, 0u);
  EXPECT_LE(com().timerPeriod, 5000u);
  EXPECT_GE(com().timerWindow, 1000u) << "the system may coalesce the look";
  // A restart drops every registration without a word.
  audio().stopService();
  audio().startService();
  ASSERT_TRUE(com().tick());
  audio().runQueuedWork();
  expectRebound();
  EXPECT_EQ(audio().countOf(Step::UnregisterEndpointNotificationCallback), 1)
      << "the watch withdrawn from the old enumerator";

  // A default that cannot be activated, for a status no list names.
  audio().invalidate(0);
  audio().failAt(Step::Activate, static_cast<HRESULT>(0x80070490u)); // E_NOTFOUND
  MuteGet();
  audio().runQueuedWork();
  EXPECT_EQ(VolumeSet(50), AUDCLNT_E_NOT_INITIALIZED);
  audio().clearFaults();
  audio().device.level = 0.4f;
  HostRecorder::reset();
  ASSERT_TRUE(com().tick());
  audio().runQueuedWork();
  expectRebound();
}

TEST_F(RecoveryTest, ALookThatCannotTellDevicesApartKeepsTheControl) {
  for (const bool fromTheStart : {false, true}) {
    SCOPED_TRACE(fromTheStart ? "no id from the binding on" : "no id at the looks");
    if (fromTheStart) {
      UninitEndPoint();
      audio().failAt(Step::GetId, E_NOTIMPL);
      ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    }
    audio().failAt(Step::GetId, E_NOTIMPL);
    audio().clearCalls();
    for (int tick = 0; tick < 3; ++tick) {
      ASSERT_TRUE(com().tick());
      audio().runQueuedWork();
    }
    EXPECT_EQ(audio().countOf(Step::Activate), 0);
    EXPECT_EQ(HostRecorder::calls, 0);
  }
}

TEST_F(RecoveryTest, NothingRunsAfterUninitEndPointReturns) {
  audio().workMode = fake::WorkMode::Thread;
  static std::atomic<bool> looking{false};
  looking = false;
  audio().hook = [](Step step) {
    if (step == Step::GetDefaultAudioEndpoint && fake::FakeAudioService::onWorkThread()) {
      looking = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  };
  ASSERT_TRUE(com().tick());
  while (!looking) {
    std::this_thread::yield();
  }
  UninitEndPoint();
  const std::size_t calls = audio().calls().size();
  EXPECT_FALSE(com().tick()) << "the timer is deleted";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(audio().calls().size(), calls);
}

// At exit the platform's modules may be gone: UninitEndPoint calls nothing
// and forgets what it holds, also when the exit begins while it waits for
// a move. Otherwise it waits for the move, however slow.
TEST_F(RecoveryTest, AtExitUninitEndPointCallsNothingAndOtherwiseWaitsForAMove) {
  const struct {
    const char *name;
    void (*inside)(); // what a move does inside the service; none if null
    bool exits;
  } cases[] = {
      {"the process is exiting", nullptr, true},
      {"the exit begins while a move is inside the service",
       [] {
         std::this_thread::sleep_for(std::chrono::milliseconds(100));
         com().exiting = true;
         fake::endThisThread();
       },
       true},
      {"a move is only slow", [] { std::this_thread::sleep_for(std::chrono::seconds(1)); }, false},
  };
  static std::atomic<void (*)()> inside;
  static std::atomic<bool> entered;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    audio().workMode = fake::WorkMode::Thread;
    inside = c.inside;
    entered = false;
    audio().hook = [](Step step) {
      if (step == Step::GetDefaultAudioEndpoint && fake::FakeAudioService::onWorkThread()) {
        entered = true;
        inside.load()();
      }
    };
    if (c.inside != nullptr) {
      ASSERT_TRUE(com().tick());
      while (!entered) {
        std::this_thread::yield();
      }
    } else {
      com().exiting = true;
    }
    audio().clearCalls();
    LPWSTR heldId = state().deviceId;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UninitEndPoint(), 1);
    const auto took = std::chrono::steady_clock::now() - start;
    if (c.exits) {
      EXPECT_TRUE(audio().calls().empty()) << "no call into the platform";
      EXPECT_EQ(audio().clientCount(), 1);
      EXPECT_EQ(audio().sinkCount(), 1);
      EXPECT_EQ(com().mtaUsages, 1);
      EXPECT_FALSE(state().bound);
      // What was forgotten is the fake's to take back, the sink's hold too.
      audio().unregisterSink(nullptr, &quorvel::notifySink);
      CoTaskMemFree(heldId);
      audio().reset();
      com().reset();
    } else {
      EXPECT_GT(took, std::chrono::milliseconds(900)) << "waited for the slow move";
      EXPECT_EQ(audio().outstandingReferences(), 0);
    }
    TearDown();
    SetUp();
  }
}

TEST_F(RecoveryTest, AControlThatReadTheSlotBeforeASwitchUsesTheNewControl) {
  // The move runs between the control's read of the slot and its count-in,
  // so it sees no control counted in and releases the old one.
  audio().hook = [](Step step) {
    if (step == Step::CountIn) {
      audio().hook = nullptr;
      audio().switchDefault(1);
      audio().runQueuedWork();
    }
  };
  EXPECT_EQ(VolumeSet(30), S_OK);
  EXPECT_FLOAT_EQ(audio().devices[1].level.load(), 0.3f);
  EXPECT_FLOAT_EQ(audio().device.level.load(), 0.4f);
  EXPECT_EQ(audio().usesAfterRelease(), 0);
}
