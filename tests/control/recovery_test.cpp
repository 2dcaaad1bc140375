#include <chrono>
#include <thread>

#include "library_fixture.h"
#include "notify/device_watch.h"

using fake::audio;
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
  EXPECT_EQ(VolumeSet(50), AUDCLNT_E_NOT_INITIALIZED);
  EXPECT_EQ(audio().calls().size(), 1u) << "unbound, only queueing another attempt";
  audio().startService();
  // A call while the rebind activates asks again, and changes nothing.
  audio().hook = [](Step step) {
    if (step == Step::Activate) {
      audio().hook = nullptr;
      MuteGet();
    }
  };
  audio().runQueuedWork();
  expectRebound();
}

TEST_F(RecoveryTest, AttemptsWhileTheServiceIsDownAreSpacedAndUninitWaitsForOne) {
  audio().workMode = fake::WorkMode::Thread;
  audio().stopService();
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300)) {
    MuteGet();
  }
  audio().joinWork();
  // Each attempt makes one enumerator, refused while the service is down.
  EXPECT_GE(audio().countOf(Step::CoCreateInstance), 1);
  EXPECT_LE(audio().countOf(Step::CoCreateInstance), 300 / 50 + 1);

  // Back: UninitEndPoint while the rebind registers with a new enumerator.
  audio().startService();
  static std::atomic<bool> renewing{false};
  audio().hook = [](Step step) {
    if (step == Step::CoCreateInstance && !renewing.exchange(true)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  MuteGet();
  for (int waited = 0; !renewing && waited < 2000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(renewing) << "the call asked for a rebind";
  UninitEndPoint();
  EXPECT_EQ(audio().clientCount(), 0) << "withdrawn from the new enumerator";
}
