#include <chrono>
#include <thread>

#include "library_fixture.h"

using fake::audio;
using fake::Step;

namespace {

// Bound to the first device, whose volume is 40%; changes are reported on
// the caller's thread and moves run when the test runs the queued work.
class RecoveryTest : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    audio().delivery = fake::Delivery::CallerThread;
    audio().device.level = 0.4f;
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    audio().clearCalls();
  }

  // Bound afresh to the first device: the host was told its state once, the
  // controls act on a new control, and both registrations are in place.
  void expectRebound() const {
    EXPECT_EQ(HostRecorder::calls, 1);
    EXPECT_EQ(HostRecorder::lastPercent, 40);
    auto *now = static_cast<fake::FakeEndpointVolume *>(state().endpointVolume.load());
    ASSERT_NE(now, nullptr);
    EXPECT_GE(audio().countOf(Step::Activate), 1);
    EXPECT_EQ(now->lost.load(), S_OK) << "a freshly activated control";
    EXPECT_EQ(now->device(), &audio().device);
    EXPECT_EQ(VolumeSet(70), S_OK);
    EXPECT_FLOAT_EQ(audio().device.level.load(), 0.7f);
    EXPECT_EQ(audio().sinkCount(), 1);
    EXPECT_EQ(audio().clientCount(), 1);
  }
};

} // namespace

TEST_F(RecoveryTest, LostObjectsAreReplacedAndTheHostToldOnce) {
  const struct {
    const char *name;
    void (*lose)();
  } cases[] = {
      {"invalidated in place, state change reported",
       [] {
         audio().invalidate(0);
         audio().notifyStateChanged(0);
       }},
      {"invalidated in place, nothing reported: the host's next call tells",
       [] {
         audio().invalidate(0);
         EXPECT_EQ(VolumeSet(30), fake::kDeviceInvalidated) << "returned as before";
       }},
      {"service restarted: the next call tells",
       [] {
         audio().stopService();
         audio().startService();
         EXPECT_EQ(MuteGet(), 0);
       }},
      {"service down, then back",
       [] {
         audio().stopService();
         int percent = -1;
         VolumeGet(&percent);
         audio().runQueuedWork();
         // Unbound while it is down: no platform call, but a new attempt.
         audio().clearCalls();
         EXPECT_EQ(VolumeSet(50), AUDCLNT_E_NOT_INITIALIZED);
         EXPECT_EQ(audio().calls().size(), 1u) << "only the rebind's QueueUserWorkItem";
         audio().startService();
         // A call made while the rebind activates asks again; that request
         // finds the new control answering and changes nothing.
         audio().hook = [](Step step) {
           if (step == Step::Activate) {
             audio().hook = nullptr;
             MuteGet();
           }
         };
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    c.lose();
    audio().runQueuedWork();
    expectRebound();
    TearDown();
    SetUp();
  }
}

TEST_F(RecoveryTest, WhileTheServiceIsDownAttemptsAreSpacedHoweverOftenTheHostCalls) {
  audio().workMode = fake::WorkMode::Thread;
  audio().stopService();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  while (Clock::now() - start < std::chrono::milliseconds(300)) {
    VolumeSet(10);
    MuteGet();
  }
  audio().joinWork();
  // Each attempt makes one enumerator, refused while the service is down.
  const int attempts = audio().countOf(Step::CoCreateInstance);
  EXPECT_GE(attempts, 1);
  EXPECT_LE(attempts, 300 / 50 + 1);

  audio().startService();
  audio().workMode = fake::WorkMode::Manual;
  MuteGet();
  audio().runQueuedWork();
  expectRebound();
}

TEST_F(RecoveryTest, UninitDuringARebindWaitsAndLeavesNothingRegistered) {
  audio().workMode = fake::WorkMode::Thread;
  static std::atomic<bool> renewing{false};
  renewing = false;
  audio().hook = [](Step step) {
    if (step == Step::CoCreateInstance && fake::FakeAudioService::onWorkThread()) {
      renewing = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  audio().stopService();
  audio().startService();
  MuteSet(1);
  while (!renewing) {
    std::this_thread::yield();
  }
  UninitEndPoint();
  EXPECT_EQ(audio().clientCount(), 0) << "withdrawn from the new enumerator";
  EXPECT_EQ(audio().sinkCount(), 0);
  EXPECT_EQ(audio().outstandingReferences(), 0);
}
