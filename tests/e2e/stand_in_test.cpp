// The built DLL, loaded by a host, against the fake audio service standing
// in for the platform's device enumerator class.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "fake_audio.h"
#include "host_module.h"
#include "stand_in_factory.h"
#include "stand_in_fixture.h"

using fake::audio;
using fake::Step;
namespace platform = quorvel::platform;

namespace {

struct Host {
  static inline std::atomic<int> calls{0};
  static inline std::atomic<int> muted{-1};
  static inline std::atomic<int> percent{-1};
  static inline std::atomic<DWORD> thread{0};

  static int QUORVEL_CALL callback(int newMuted, int newPercent) {
    muted = newMuted;
    percent = newPercent;
    thread = GetCurrentThreadId();
    ++calls;
    return 0;
  }
};

bool sameGuid(const GUID &a, const GUID &b) { return platform::sameGuid(a, b); }

// The event contexts of every change recorded so far.
std::vector<GUID> changeContexts() {
  std::vector<GUID> contexts;
  for (const fake::Call &call : audio().calls()) {
    if (call.step == Step::SetMasterVolumeLevelScalar || call.step == Step::SetMute) {
      EXPECT_TRUE(call.hasContext);
      contexts.push_back(call.eventContext);
    }
  }
  return contexts;
}

class StandIn : public StandInHostTest {
protected:
  void SetUp() override {
    StandInHostTest::SetUp();
    Host::calls = 0;
    Host::muted = -1;
    Host::percent = -1;
    ASSERT_TRUE(dll.complete());
  }

  void TearDown() override {
    audio().clearFaults();
    IAudioEndpointVolumeCallback *sink = fake::registeredSink();
    EXPECT_EQ(dll.UninitEndPoint(), 1);
    EXPECT_EQ(audio().outstandingReferences(), 0) << "every reference handed out is back";
    EXPECT_EQ(audio().overReleases(), 0);
    EXPECT_EQ(audio().sinkCount(), 0);
    EXPECT_EQ(audio().clientCount(), 0);
    if (sink != nullptr) {
      EXPECT_EQ(sink->AddRef(), 2u);
      EXPECT_EQ(sink->Release(), 1u) << "the sink's count is back to its own hold";
    }
    StandInHostTest::TearDown();
  }

  // A second client holding its own endpoint volume, as another program would.
  IAudioEndpointVolume *otherClient() {
    IAudioEndpointVolume *volume = fake::openOtherClient();
    EXPECT_NE(volume, nullptr);
    return volume;
  }

  HostModule dll;
};

} // namespace

// ---- Notifications ----

TEST_F(StandIn, ChangesThroughTheDllReachTheHostOnTheServiceThread) {
  ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  EXPECT_EQ(dll.VolumeSet(75), S_OK);
  EXPECT_EQ(Host::calls, 1);
  EXPECT_EQ(Host::muted, 0);
  EXPECT_EQ(Host::percent, 75);
  EXPECT_NE(Host::thread, GetCurrentThreadId());

  EXPECT_EQ(dll.MuteSet(1), 1);
  EXPECT_EQ(Host::calls, 2);
  EXPECT_EQ(Host::muted, 1);
  EXPECT_EQ(Host::percent, 75);
}

TEST_F(StandIn, ChangesByAnotherClientReachTheHost) {
  ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  IAudioEndpointVolume *other = otherClient();
  ASSERT_NE(other, nullptr);
  const GUID theirs = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(other->SetMasterVolumeLevelScalar(0.25f, &theirs), S_OK);
  EXPECT_EQ(Host::percent, 25);
  EXPECT_EQ(other->SetMute(1, &theirs), S_OK);
  EXPECT_EQ(Host::muted, 1);
  EXPECT_NE(Host::thread, GetCurrentThreadId());
  int percent = -1;
  EXPECT_EQ(dll.VolumeGet(&percent), 1);
  EXPECT_EQ(percent, 25);
  EXPECT_EQ(dll.MuteGet(), 1);
  other->Release();
}

// ---- Controls ----

TEST_F(StandIn, VolumeRoundTripsEveryPercentAndClamps) {
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  for (int percent = 0; percent <= 100; ++percent) {
    ASSERT_EQ(dll.VolumeSet(percent), S_OK);
    int read = -1;
    ASSERT_EQ(dll.VolumeGet(&read), 1);
    EXPECT_EQ(read, percent);
  }
  const struct { int given, read; } clamps[] = {{-5, 0}, {250, 100}, {INT_MIN, 0}, {INT_MAX, 100}};
  for (const auto &c : clamps) {
    dll.VolumeSet(c.given);
    int read = -1;
    dll.VolumeGet(&read);
    EXPECT_EQ(read, c.read) << "given " << c.given;
  }
}

TEST_F(StandIn, MuteSetPassesTwoAsTwo) {
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  EXPECT_EQ(dll.MuteSet(2), 1);
  const std::vector<fake::Call> calls = audio().calls();
  ASSERT_EQ(calls.back().step, Step::SetMute);
  EXPECT_EQ(calls.back().flag, 2);
  EXPECT_EQ(dll.MuteGet(), 1);
}

TEST_F(StandIn, EveryChangeCarriesOneContextAndRebindingMakesANewOne) {
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  dll.VolumeSet(10);
  dll.MuteSet(1);
  dll.VolumeSet(20);
  const std::vector<GUID> first = changeContexts();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_FALSE(sameGuid(first[0], GUID{}));
  EXPECT_TRUE(sameGuid(first[1], first[0]));
  EXPECT_TRUE(sameGuid(first[2], first[0]));

  dll.UninitEndPoint();
  audio().clearCalls();
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  dll.MuteSet(0);
  const std::vector<GUID> second = changeContexts();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_FALSE(sameGuid(second[0], first[0]));
}

// ---- Binding failures and states ----

class StandInFailure : public StandIn, public ::testing::WithParamInterface<Step> {};

TEST_P(StandInFailure, InitReturnsZeroAndUninitGivesEverythingBack) {
  audio().failAt(GetParam());
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 0);
  audio().clearFaults();
  // TearDown checks that UninitEndPoint returns every reference.
}

INSTANTIATE_TEST_SUITE_P(EachStep, StandInFailure,
                         ::testing::Values(Step::CoCreateInstance, Step::GetDefaultAudioEndpoint,
                                           Step::Activate, Step::RegisterControlChangeNotify),
                         [](const auto &info) { return fake::stepName(info.param); });

TEST_F(StandIn, PartlyBoundHoldsTheEnumeratorAndRetriesWithoutLeaking) {
  audio().failAt(Step::GetDefaultAudioEndpoint);
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 0);
  EXPECT_EQ(audio().enumerator.references(), 1);
  EXPECT_EQ(static_cast<unsigned>(dll.VolumeSet(50)), 0x88890001u) << "controls do not act";
  audio().clearFaults();
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 1);
  EXPECT_EQ(audio().enumerator.references(), 1);
  EXPECT_EQ(audio().device.references(), 1);
}

TEST_F(StandIn, UnregisteredStateKeepsControlsAndRefusesInit) {
  audio().failAt(Step::RegisterControlChangeNotify);
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 0);
  audio().clearFaults();
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 0);
  EXPECT_EQ(dll.VolumeSet(60), S_OK);
  int percent = -1;
  dll.VolumeGet(&percent);
  EXPECT_EQ(percent, 60);
  EXPECT_EQ(Host::calls, 0);
}

// ---- The host's own COM initialisation ----

TEST_F(StandIn, HostComSurvivesUnmatchedAndRepeatedUninit) {
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  EXPECT_EQ(dll.UninitEndPoint(), 1);

  IAudioEndpointVolume *volume = otherClient();
  EXPECT_NE(volume, nullptr) << "COM is still initialised for the host";
  if (volume != nullptr) {
    volume->Release();
  }
}

// ---- Following the default device ----

namespace {

// The pool's move tells the host on a thread of its own; waits for it.
bool hostToldAtLeast(int calls) {
  for (int waited = 0; Host::calls < calls && waited < 20000; waited += 10) {
    Sleep(10);
  }
  return Host::calls >= calls;
}

} // namespace

TEST_F(StandIn, AfterASwitchOnlyTheNewDevicesChangesReachTheHost) {
  audio().devices[1].level = 0.25f;
  ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  audio().switchDefault(1);
  ASSERT_TRUE(hostToldAtLeast(1));
  EXPECT_EQ(Host::percent, 25) << "told the new device's state";
  EXPECT_NE(Host::thread, GetCurrentThreadId());

  audio().applyChange(0.5f, 1, nullptr, 0);
  EXPECT_EQ(Host::calls, 1) << "a change on the old device";
  audio().applyChange(0.75f, 1, nullptr, 1);
  EXPECT_EQ(Host::calls, 2);
  EXPECT_EQ(Host::percent, 75);
  EXPECT_EQ(dll.MuteGet(), 1);
  EXPECT_EQ(audio().devices[0].references(), 0);
}

TEST_F(StandIn, UninitRacingASwitchLeavesNothingBehind) {
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
    std::thread platform([round] { audio().switchDefault(round % 2 == 0 ? 1 : 0); });
    EXPECT_EQ(dll.UninitEndPoint(), 1);
    const int told = Host::calls;
    platform.join();
    Sleep(20);
    EXPECT_EQ(Host::calls, told) << "nothing reaches the host after UninitEndPoint";
    EXPECT_EQ(audio().outstandingReferences(), 0);
    EXPECT_EQ(audio().sinkCount(), 0);
    EXPECT_EQ(audio().clientCount(), 0);
  }
}

TEST_F(StandIn, NoDefaultLeftUnbindsTheControlsAndADeviceBindsAgain) {
  ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  audio().switchDefault(-1);
  // Nothing is told while no device is left: wait for the controls instead.
  for (int waited = 0; dll.VolumeSet(50) != AUDCLNT_E_NOT_INITIALIZED && waited < 20000;
       waited += 10) {
    Sleep(10);
  }
  int percent = -1;
  EXPECT_EQ(dll.VolumeGet(&percent), 1);
  EXPECT_EQ(percent, -1);
  EXPECT_EQ(dll.MuteGet(), 0);
  EXPECT_EQ(dll.InitEndPoint(&Host::callback), 0) << "still bound";
  EXPECT_EQ(Host::calls, 0);

  audio().switchDefault(1);
  ASSERT_TRUE(hostToldAtLeast(1));
  EXPECT_EQ(dll.VolumeSet(40), S_OK);
  EXPECT_FLOAT_EQ(audio().devices[1].level.load(), 0.4f);
}

// The device's objects lost in place with nothing reported, then the whole
// service restarted: each time the host's next call finds out, the host is
// told once, and the controls act on a freshly activated control.
TEST_F(StandIn, RecoversFromAnInvalidatedDeviceAndThenARestartedService) {
  audio().device.level = 0.4f;
  ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  const auto toldOnceMore = [](int before) {
    const bool told = hostToldAtLeast(before + 1);
    Sleep(100);
    return told && Host::calls == before + 1 && Host::percent == 40;
  };

  audio().invalidate(0);
  EXPECT_EQ(static_cast<unsigned>(dll.VolumeSet(30)), 0x88890004u) << "returned as before";
  EXPECT_TRUE(toldOnceMore(0));
  EXPECT_EQ(dll.VolumeSet(50), S_OK);
  EXPECT_FLOAT_EQ(audio().device.level.load(), 0.5f);

  audio().device.level = 0.4f;
  audio().stopService();
  std::thread back([] {
    Sleep(300);
    audio().startService();
  });
  // A polling host: unbound while the service is down, then bound again.
  const int before = Host::calls;
  for (int waited = 0; Host::calls == before && waited < 20000; waited += 5) {
    dll.MuteGet();
    Sleep(5);
  }
  back.join();
  EXPECT_TRUE(toldOnceMore(before));
  EXPECT_EQ(dll.VolumeSet(60), S_OK);
  EXPECT_FLOAT_EQ(audio().device.level.load(), 0.6f);
  EXPECT_EQ(audio().clientCount(), 1) << "the watch is registered with a new enumerator";
  EXPECT_EQ(audio().enumerators[1].references(), 1);

  // A host that only listens hears of a restart at the next look.
  audio().stopService();
  audio().startService();
  const ULONGLONG restarted = GetTickCount64();
  EXPECT_TRUE(hostToldAtLeast(Host::calls + 1));
  const ULONGLONG took = GetTickCount64() - restarted;
  std::printf("a listening host was told %llu ms after the service came back\n", took);
  EXPECT_LT(took, 4000u) << "within the look's 2 s and its 1 s window, with the time a move takes";
}
