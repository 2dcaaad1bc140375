#include <atomic>
#include <thread>

#include "library_fixture.h"

using fake::audio;

namespace {

// Counts host calls; runs on the platform's thread.
std::atomic<long> hostCalls{0};
int QUORVEL_CALL countHost(int, int) {
  ++hostCalls;
  return 0;
}

AUDIO_VOLUME_NOTIFICATION_DATA stormRecord() {
  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.fMasterVolume = 0.5f;
  record.nChannels = 1;
  return record;
}

class ConcurrencyLifecycle : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    hostCalls = 0;
    // The host's own changes are not echoed, so every callback counted
    // comes from the storm.
    audio().delivery = fake::Delivery::None;
  }
};

} // namespace

TEST_F(ConcurrencyLifecycle, NotificationStormWhileTheHostUsesTheControls) {
  ASSERT_EQ(InitEndPoint(&countHost), 1);
  constexpr long kNotifications = 20000;
  std::atomic<long> delivered{0};
  std::thread platform([&] {
    AUDIO_VOLUME_NOTIFICATION_DATA record = stormRecord();
    for (long i = 0; i < kNotifications; ++i) {
      delivered += audio().notifySinks(&record);
    }
  });
  for (int i = 0; i < 5000; ++i) {
    VolumeSet(i % 101);
    int percent = 0;
    VolumeGet(&percent);
    MuteSet(i & 1);
    MuteGet();
    audio().clearCalls();
  }
  platform.join();
  EXPECT_EQ(delivered, kNotifications);
  EXPECT_EQ(hostCalls, kNotifications) << "no callback lost or duplicated";
}

TEST_F(ConcurrencyLifecycle, BindUnbindCyclesOnlyNotifyWhileRegistered) {
  std::atomic<bool> stop{false};
  std::atomic<long> delivered{0};
  std::thread platform([&] {
    AUDIO_VOLUME_NOTIFICATION_DATA record = stormRecord();
    while (!stop) {
      delivered += audio().notifySinks(&record);
    }
  });
  // EXPECT, not ASSERT: an early return would leave the thread unjoined.
  for (int cycle = 0; cycle < 2000; ++cycle) {
    EXPECT_EQ(InitEndPoint(&countHost), 1);
    EXPECT_EQ(UninitEndPoint(), 1);
    audio().clearCalls();
  }
  stop = true;
  platform.join();
  EXPECT_EQ(hostCalls, delivered) << "every delivery to a registered sink, and only those";
  EXPECT_EQ(audio().outstandingReferences(), 0);
  EXPECT_EQ(sinkReferences(), 1u);
}

TEST_F(ConcurrencyLifecycle, LateDeliveryRacingRebindIsRaceFree) {
  // A platform that still delivers to the sink it was told to forget: the
  // host function it reads is being replaced by InitEndPoint meanwhile.
  std::atomic<bool> stop{false};
  std::atomic<long> attempts{0};
  std::thread platform([&] {
    AUDIO_VOLUME_NOTIFICATION_DATA record = stormRecord();
    while (!stop) {
      EXPECT_EQ(quorvel::notifySink.OnNotify(&record), S_OK);
      ++attempts;
    }
  });
  for (int cycle = 0; cycle < 2000; ++cycle) {
    InitEndPoint(cycle % 2 == 0 ? &countHost : nullptr);
    UninitEndPoint();
    audio().clearCalls();
  }
  stop = true;
  platform.join();
  EXPECT_LE(hostCalls, attempts);
}

TEST_F(ConcurrencyLifecycle, DefaultSwitchStormWhileTheHostBindsAndUsesTheControls) {
  // Every switch is reported on the platform's thread and every move runs
  // on a pool thread of its own, while the host binds, uses the controls
  // and lets go; no default at all is one of the states switched to. Now
  // and then the first device's objects are lost in place, or the service
  // restarts, and the moves rebind.
  audio().delivery = fake::Delivery::CallerThread;
  audio().workMode = fake::WorkMode::Thread;
  std::atomic<bool> stop{false};
  std::thread platform([&] {
    for (int i = 0; !stop; ++i) {
      audio().switchDefault(i % 3 - 1);
      if (i % 7 == 0) {
        audio().invalidate(0);
      } else if (i % 11 == 0) {
        audio().stopService();
        audio().startService();
      }
    }
  });
  for (int cycle = 0; cycle < 300; ++cycle) {
    InitEndPoint(&countHost);
    for (int i = 0; i < 20; ++i) {
      VolumeSet(i);
      int percent = 0;
      VolumeGet(&percent);
      MuteSet(i & 1);
      MuteGet();
    }
    UninitEndPoint();
    audio().clearCalls();
  }
  stop = true;
  platform.join();
  audio().joinWork();
  EXPECT_EQ(audio().usesAfterRelease(), 0);
  EXPECT_EQ(audio().clientCount(), 0);
}
