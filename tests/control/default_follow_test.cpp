#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "library_fixture.h"
#include "notify/device_watch.h"

using fake::audio;
using fake::com;
using fake::Step;

namespace {

// The device whose control the library holds, or -1.
int heldDevice() { return fake::deviceOf(quorvel::endpointState.endpointVolume.load()); }

// Default changes are reported on the caller's thread and moves run only
// when a test runs the queued work, so every step can be looked at.
class DefaultFollowTest : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    audio().delivery = fake::Delivery::CallerThread;
    audio().devices[1].level = 0.25f;
    audio().devices[1].muted = 1;
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    audio().clearCalls();
  }

  // Switches the default and runs the move it asked for.
  static void switchAndMove(int device) {
    audio().switchDefault(device);
    EXPECT_EQ(audio().queuedWork(), 1) << "one move for the console role alone";
    audio().runQueuedWork();
  }

  // Acting as when not bound, at most asking for another look.
  static bool controlsUnbound() {
    int percent = -7;
    audio().clearCalls();
    const bool unbound = VolumeSet(50) == AUDCLNT_E_NOT_INITIALIZED && VolumeGet(&percent) == 1 &&
                         percent == -7 && MuteSet(1) == 1 && MuteGet() == 0;
    return unbound && audio().calls().size() ==
                          static_cast<std::size_t>(audio().countOf(Step::QueueUserWorkItem));
  }
};

} // namespace

TEST_F(DefaultFollowTest, MovesToTheNewDefaultInOrderAndTellsTheHostOnce) {
  switchAndMove(1);

  // In the multithreaded apartment held while bound: no set-up of its own.
  const std::vector<Step> expected = {Step::QueueUserWorkItem,
                                      Step::GetDefaultAudioEndpoint,
                                      Step::GetId,
                                      Step::Activate,
                                      Step::RegisterControlChangeNotify,
                                      Step::UnregisterControlChangeNotify,
                                      Step::GetMute,
                                      Step::GetMasterVolumeLevelScalar};
  EXPECT_EQ(fake::withoutReleases(audio().steps()), expected);
  const std::vector<fake::Call> calls = audio().calls();
  for (const fake::Call &call : calls) {
    if (call.step == Step::Activate || call.step == Step::RegisterControlChangeNotify) {
      EXPECT_EQ(call.device, 1);
    } else if (call.step == Step::UnregisterControlChangeNotify) {
      EXPECT_EQ(call.device, 0);
    }
  }
  EXPECT_EQ(audio().devices[0].references(), 0) << "the old device and control are released";
  EXPECT_EQ(audio().devices[1].references(), 1);
  EXPECT_EQ(HostRecorder::calls, 1);
  EXPECT_EQ(HostRecorder::lastMuted, 1);
  EXPECT_EQ(HostRecorder::lastPercent, 25);

  // The controls act on the new device, and only its changes are told.
  EXPECT_EQ(VolumeSet(80), S_OK);
  EXPECT_FLOAT_EQ(audio().devices[1].level.load(), 0.8f);
  EXPECT_FLOAT_EQ(audio().devices[0].level.load(), 1.0f);
  audio().applyChange(0.5f, 0, nullptr, 0);
  EXPECT_EQ(HostRecorder::lastPercent, 80);
  audio().applyChange(0.1f, 0, nullptr, 1);
  EXPECT_EQ(HostRecorder::lastPercent, 10);
  EXPECT_EQ(com().mtaUsages, 1);
}

TEST_F(DefaultFollowTest, OtherRolesCaptureAndTheHeldDeviceChangeNothing) {
  audio().notifyDefaultChanged(eRender, eMultimedia, audio().devices[1].id());
  audio().notifyDefaultChanged(eRender, eCommunications, audio().devices[1].id());
  audio().notifyDefaultChanged(eCapture, eConsole, audio().devices[1].id());
  EXPECT_EQ(audio().queuedWork(), 0);

  switchAndMove(0);
  EXPECT_EQ(audio().countOf(Step::Activate), 0);
  EXPECT_EQ(audio().countOf(Step::UnregisterControlChangeNotify), 0);
  EXPECT_EQ(HostRecorder::calls, 0);
  EXPECT_EQ(state().endpointVolume.load(), &audio().volumes[0]);
}

TEST_F(DefaultFollowTest, NoDeviceLeftUnbindsTheControlsUntilOneIsBack) {
  switchAndMove(-1);
  EXPECT_TRUE(controlsUnbound());
  EXPECT_EQ(HostRecorder::calls, 0) << "no state to tell";
  EXPECT_EQ(audio().sinkCount(), 0);
  EXPECT_EQ(audio().outstandingReferences(), 1) << "only the enumerator is held";
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 0) << "still bound";

  // A default that cannot be activated is no device either.
  audio().failAt(Step::Activate);
  switchAndMove(0);
  audio().clearFaults();
  EXPECT_TRUE(controlsUnbound());
  EXPECT_EQ(audio().outstandingReferences(), 1);

  switchAndMove(1);
  EXPECT_EQ(HostRecorder::calls, 1);
  EXPECT_EQ(MuteGet(), 1);
  EXPECT_EQ(audio().sinkCount(), 1);
}

TEST_F(DefaultFollowTest, AChangeDuringAMoveLeadsToOneMoreMove) {
  // The host function, told of the first move on the pool's thread, uses
  // the controls and sees the default change again before it returns.
  static std::atomic<int> percentSeen{-1};
  percentSeen = -1;
  UninitEndPoint();
  ASSERT_EQ(InitEndPoint([](int, int) -> int {
              int percent = -1;
              VolumeGet(&percent);
              if (percentSeen.exchange(percent) == -1) {
                audio().switchDefault(0);
              }
              return 0;
            }),
            1);
  switchAndMove(1);
  EXPECT_EQ(percentSeen, 100) << "back on the first device";
  EXPECT_EQ(audio().countOf(Step::QueueUserWorkItem), 1) << "the running item took it on";
  EXPECT_EQ(heldDevice(), 0);
}

// What happens while the host's thread binds is acted upon once it is
// done, never by a move beside it on the enumerator and state it uses.
TEST_F(DefaultFollowTest, AChangeOrARestartWhileBindingIsActedUponOnceBound) {
  const struct {
    const char *name;
    void (*during)();
    int held;
  } cases[] = {
      {"the default switches unreported", [] { audio().switchDefault(1, false); }, 1},
      {"the service restarts and reports a device",
       [] {
         audio().stopService();
         audio().startService();
         quorvel::deviceWatch.OnDeviceStateChanged(audio().device.id(), 1);
         audio().runQueuedWork();
       },
       0},
  };
  static void (*during)();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    UninitEndPoint();
    during = c.during;
    audio().hook = [](Step step) {
      if (step == Step::RegisterEndpointNotificationCallback) {
        audio().hook = nullptr;
        during();
      }
    };
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    EXPECT_EQ(audio().runQueuedWork(), 1);
    EXPECT_EQ(heldDevice(), c.held);
    EXPECT_EQ(HostRecorder::calls, 1);
    UninitEndPoint();
    EXPECT_EQ(audio().clientCount(), 0);
    EXPECT_EQ(audio().usesAfterRelease(), 0);
    TearDown();
    SetUp();
  }
}

// During FreeLibrary a queued move's thread may wait for the loader lock
// that UninitEndPoint's caller holds, so it is not waited for. When it
// starts at last, after a new binding, it does nothing.
TEST_F(DefaultFollowTest, AMoveNotStartedIsForgottenAndDoesNothingLater) {
  audio().switchDefault(1);
  ASSERT_EQ(audio().queuedWork(), 1);
  UninitEndPoint();
  EXPECT_EQ(audio().queuedWork(), 1) << "held back, not waited for";
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  audio().clearCalls();
  EXPECT_EQ(audio().runQueuedWork(), 1);
  EXPECT_TRUE(audio().calls().empty());
  EXPECT_EQ(audio().sinkCount(), 1);
  EXPECT_EQ(audio().clientCount(), 1);
  switchAndMove(0);
  EXPECT_EQ(heldDevice(), 0) << "the new binding still follows";
}

TEST_F(DefaultFollowTest, UninitWaitsForARunningMove) {
  audio().workMode = fake::WorkMode::Thread;
  static std::atomic<bool> moving{false};
  moving = false;
  audio().hook = [](Step step) {
    if (step == Step::Activate && fake::FakeAudioService::onWorkThread()) {
      moving = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  audio().switchDefault(1);
  while (!moving) {
    std::this_thread::yield();
  }
  UninitEndPoint();
  const int told = HostRecorder::calls;
  EXPECT_EQ(audio().outstandingReferences(), 0);
  EXPECT_EQ(audio().sinkCount(), 0);
  audio().joinWork();
  EXPECT_EQ(HostRecorder::calls, told) << "nothing reaches the host after UninitEndPoint";
}

TEST_F(DefaultFollowTest, ARefusedQueueOrWatchLeavesTheBindingAsItIs) {
  audio().failAt(Step::QueueUserWorkItem);
  audio().switchDefault(1);
  audio().clearFaults();
  EXPECT_EQ(audio().queuedWork(), 0);
  EXPECT_EQ(state().endpointVolume.load(), &audio().volumes[0]);
  switchAndMove(1);
  EXPECT_EQ(heldDevice(), 1);

  UninitEndPoint();
  audio().failAt(Step::RegisterEndpointNotificationCallback);
  EXPECT_EQ(InitEndPoint(&HostRecorder::callback), 1) << "following is on top of the binding";
  audio().clearFaults();
  audio().clearCalls();
  UninitEndPoint();
  EXPECT_EQ(audio().countOf(Step::UnregisterEndpointNotificationCallback), 0);
}

// Whichever control is inside the platform while the binding lets go of
// its device, the device's control is released only after it returns.
TEST_F(DefaultFollowTest, NoControlIsLeftOnAReleasedObject) {
  static Step blockAt;
  static std::atomic<bool> inside{false};
  const struct {
    Step step;
    void (*call)();
  } cases[] = {{Step::SetMute, [] { MuteSet(1); }},
               {Step::GetMute, [] { MuteGet(); }},
               {Step::SetMasterVolumeLevelScalar, [] { VolumeSet(5); }},
               {Step::GetMasterVolumeLevelScalar, [] {
                  int percent = 0;
                  VolumeGet(&percent);
                }}};
  audio().hook = [](Step step) {
    if (step == blockAt && !inside.exchange(true)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  for (const auto &c : cases) {
    blockAt = c.step;
    inside = false;
    std::thread host(c.call);
    while (!inside) {
      std::this_thread::yield();
    }
    UninitEndPoint();
    host.join();
    EXPECT_EQ(audio().usesAfterRelease(), 0) << fake::stepName(c.step);
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  }
}

// A busy host cannot hold a move back: the move waits for the control that
// was using the old device when it swapped, not for one that started on
// the new device after the swap and is still inside.
TEST_F(DefaultFollowTest, AMoveWaitsOnlyForControlsThatStartedBeforeTheSwap) {
  audio().workMode = fake::WorkMode::Thread;
  static std::atomic<bool> inside[2], released[2];
  static thread_local int gate = -1;
  inside[0] = inside[1] = released[0] = released[1] = false;
  audio().hook = [](Step step) {
    if (step == Step::GetMasterVolumeLevelScalar && gate >= 0) {
      inside[gate] = true;
      while (!released[gate]) {
        std::this_thread::yield();
      }
    }
  };
  const auto hostCall = [](int g) {
    gate = g;
    int percent = 0;
    VolumeGet(&percent);
  };
  const auto waitFor = [](auto done) {
    for (int waited = 0; !done() && waited < 2000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  };
  std::thread before(hostCall, 0);
  ASSERT_TRUE(waitFor([] { return inside[0].load(); }));
  audio().switchDefault(1);
  EXPECT_TRUE(waitFor([] { return heldDevice() == 1; })) << "swapped";
  std::thread after(hostCall, 1);
  EXPECT_TRUE(waitFor([] { return inside[1].load(); }));
  released[0] = true;
  EXPECT_TRUE(waitFor([] { return audio().volumes[0].references() == 0; }))
      << "the move let go of the old control while a later call was still inside";
  released[1] = true;
  before.join();
  after.join();
  audio().joinWork();
}

// A request that lands just as the work item is about to give up its turn
// (here, while it undoes its COM initialisation, where the apartment
// cannot be held) is still acted upon.
TEST_F(DefaultFollowTest, ARequestAsTheItemEndsIsNotLost) {
  UninitEndPoint();
  com().mtaUsageMissing = true;
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  static std::atomic<bool> switched{false};
  switched = false;
  audio().hook = [](Step step) {
    if (step == Step::CoUninitialize && fake::FakeAudioService::onWorkThread() &&
        !switched.exchange(true)) {
      audio().switchDefault(0);
    }
  };
  switchAndMove(1);
  EXPECT_TRUE(switched);
  EXPECT_EQ(heldDevice(), 0);
  EXPECT_EQ(HostRecorder::calls, 2);
}
