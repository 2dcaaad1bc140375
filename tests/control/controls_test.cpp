#include <climits>
#include <cstring>

#include "library_fixture.h"

using fake::audio;
using fake::Step;

namespace {

bool sameGuid(const GUID &a, const GUID &b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

class BoundTest : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
    audio().clearCalls();
  }

  float lastLevelSet() const {
    for (const fake::Call &call : audio().calls()) {
      if (call.step == Step::SetMasterVolumeLevelScalar) {
        return call.level;
      }
    }
    ADD_FAILURE() << "no SetMasterVolumeLevelScalar call";
    return -1.0f;
  }
};

} // namespace

// ---- Before InitEndPoint: no platform call, no value invented ----

TEST_F(LibraryTest, ControlsBeforeInitTouchNothing) {
  EXPECT_EQ(static_cast<unsigned>(VolumeSet(50)), 0x88890001u);
  EXPECT_EQ(static_cast<unsigned>(VolumeSet(-7)), 0x88890001u);
  int percent = 1234;
  EXPECT_EQ(VolumeGet(&percent), 1);
  EXPECT_EQ(percent, 1234);
  EXPECT_EQ(MuteSet(1), 1);
  EXPECT_EQ(MuteGet(), 0);
  EXPECT_TRUE(audio().calls().empty());
}

TEST_F(LibraryTest, ControlsAfterUninitTouchNothing) {
  ASSERT_EQ(InitEndPoint(&HostRecorder::callback), 1);
  UninitEndPoint();
  audio().clearCalls();
  EXPECT_EQ(static_cast<unsigned>(VolumeSet(50)), 0x88890001u);
  EXPECT_EQ(MuteGet(), 0);
  EXPECT_TRUE(audio().calls().empty());
}

// ---- VolumeSet ----

TEST_F(BoundTest, VolumeSetClampsAndConverts) {
  const struct {
    int percent;
    float level;
  } cases[] = {{-5, 0.0f}, {INT_MIN, 0.0f}, {0, 0.0f},   {33, 0.33f},
               {50, 0.5f}, {100, 1.0f},     {250, 1.0f}, {INT_MAX, 1.0f}};
  for (const auto &c : cases) {
    audio().clearCalls();
    EXPECT_EQ(VolumeSet(c.percent), S_OK);
    EXPECT_EQ(lastLevelSet(), c.level) << "percent " << c.percent;
  }
  audio().clearCalls();
  VolumeSet(33);
  EXPECT_EQ(lastLevelSet(), 0.33000001f);
}

TEST_F(BoundTest, VolumeSetReturnsThePlatformStatusUnchanged) {
  audio().failAt(Step::SetMasterVolumeLevelScalar, E_NOTIMPL);
  EXPECT_EQ(VolumeSet(10), E_NOTIMPL);
  audio().failAt(Step::SetMasterVolumeLevelScalar, static_cast<HRESULT>(0x88890004u));
  EXPECT_EQ(static_cast<unsigned>(VolumeSet(10)), 0x88890004u);
}

// ---- VolumeGet ----

TEST_F(BoundTest, VolumeGetConvertsTheLevel) {
  const struct {
    float level;
    int percent;
  } cases[] = {{0.125f, 13}, {0.5f, 50},  {0.994f, 99}, {0.995f, 100},
               {0.005f, 0},  {0.33f, 33}, {0.0f, 0},    {1.0f, 100}};
  for (const auto &c : cases) {
    audio().level = c.level;
    int percent = -1;
    EXPECT_EQ(VolumeGet(&percent), 1);
    EXPECT_EQ(percent, c.percent) << "level " << c.level;
  }
}

TEST_F(BoundTest, VolumeGetWithNullPointerStillReadsAndWritesNothing) {
  EXPECT_EQ(VolumeGet(nullptr), 1);
  EXPECT_EQ(audio().countOf(Step::GetMasterVolumeLevelScalar), 1);
}

TEST_F(BoundTest, VolumeGetWritesNothingWhenTheReadFails) {
  audio().failAt(Step::GetMasterVolumeLevelScalar);
  int percent = 77;
  EXPECT_EQ(VolumeGet(&percent), 1);
  EXPECT_EQ(percent, 77);
}

// ---- Mute ----

TEST_F(BoundTest, MuteSetPassesTheFlagUnchanged) {
  for (int flag : {0, 1, 2, -1}) {
    audio().clearCalls();
    EXPECT_EQ(MuteSet(flag), 1);
    const std::vector<fake::Call> calls = audio().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].flag, flag);
  }
}

TEST_F(BoundTest, MuteSetReturnsOneEvenWhenRefused) {
  audio().failAt(Step::SetMute);
  EXPECT_EQ(MuteSet(1), 1);
}

TEST_F(BoundTest, MuteGetFoldsThePlatformFlagToZeroOrOneAndGivesZeroOnFailure) {
  // The platform keeps whatever MuteSet handed it; the host sees 0 or 1.
  for (int flag : {1, 2, -1, INT_MAX, INT_MIN}) {
    MuteSet(flag);
    EXPECT_EQ(MuteGet(), 1) << "flag " << flag;
  }
  MuteSet(0);
  EXPECT_EQ(MuteGet(), 0);
  audio().muted = 1;
  audio().failAt(Step::GetMute);
  EXPECT_EQ(MuteGet(), 0);
}

// ---- Event context and notifications of the library's own changes ----

TEST_F(BoundTest, EveryChangeCarriesTheEventContext) {
  VolumeSet(20);
  MuteSet(1);
  const std::vector<fake::Call> calls = audio().calls();
  int changes = 0;
  for (const fake::Call &call : calls) {
    if (call.step == Step::SetMasterVolumeLevelScalar || call.step == Step::SetMute) {
      ++changes;
      EXPECT_TRUE(call.hasContext);
      EXPECT_TRUE(sameGuid(call.eventContext, state().eventContext));
    }
  }
  EXPECT_EQ(changes, 2);
}

TEST_F(BoundTest, OwnChangesReachTheHostOnTheServiceThread) {
  EXPECT_EQ(VolumeSet(75), S_OK);
  EXPECT_EQ(HostRecorder::calls, 1);
  EXPECT_EQ(HostRecorder::lastMuted, 0);
  EXPECT_EQ(HostRecorder::lastPercent, 75);
  EXPECT_NE(HostRecorder::lastThread, fake::currentThreadId());

  MuteSet(2);
  EXPECT_EQ(HostRecorder::calls, 2);
  EXPECT_EQ(HostRecorder::lastMuted, 2) << "the platform's flag, unchanged";
  EXPECT_EQ(HostRecorder::lastPercent, 75);
}

TEST_F(BoundTest, ChangesByAnotherPartyReachTheHost) {
  IAudioEndpointVolume *other = nullptr;
  ASSERT_EQ(audio().device.Activate(quorvel::platform::kIidIAudioEndpointVolume, CLSCTX_ALL,
                                    nullptr, reinterpret_cast<void **>(&other)),
            S_OK);
  ASSERT_NE(other, state().endpointVolume.load());
  other->SetMasterVolumeLevelScalar(0.125f, nullptr);
  EXPECT_EQ(HostRecorder::lastPercent, 13);
  int percent = -1;
  VolumeGet(&percent);
  EXPECT_EQ(percent, 13);
  other->Release();
}
