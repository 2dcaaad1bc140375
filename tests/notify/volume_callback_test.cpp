#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

#include "notify/volume_callback.h"

using quorvel::CAudioEndpointVolumeCallback;
namespace platform = quorvel::platform;

namespace {

std::atomic<int> hostCalls{0};
std::atomic<int> hostMuted{-1};
std::atomic<int> hostPercent{-1};

int QUORVEL_CALL recordHost(int muted, int percent) {
  hostMuted = muted;
  hostPercent = percent;
  ++hostCalls;
  return -1; // the sink must not care
}

class SinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    hostCalls = 0;
    hostMuted = -1;
    hostPercent = -1;
  }
  CAudioEndpointVolumeCallback sink;

  AUDIO_VOLUME_NOTIFICATION_DATA record(BOOL muted, float level) {
    AUDIO_VOLUME_NOTIFICATION_DATA data{};
    data.bMuted = muted;
    data.fMasterVolume = level;
    data.nChannels = 1;
    data.afChannelVolumes[0] = level;
    return data;
  }
};

} // namespace

// ---- IUnknown ----

TEST_F(SinkTest, QueryInterfaceAnswersBothIdentitiesWithTheSamePointer) {
  for (const IID &iid : {platform::kIidIUnknown, platform::kIidIAudioEndpointVolumeCallback}) {
    void *out = nullptr;
    EXPECT_EQ(sink.QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IAudioEndpointVolumeCallback *>(&sink));
  }
  EXPECT_EQ(sink.Release(), 2u);
}

TEST_F(SinkTest, QueryInterfaceRefusesOtherInterfacesAndLeavesTheCount) {
  void *out = &sink;
  EXPECT_EQ(sink.QueryInterface(platform::kIidIAudioEndpointVolume, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  // One byte off the callback's identifier is another interface.
  IID nearMiss = platform::kIidIAudioEndpointVolumeCallback;
  nearMiss.Data4[7] ^= 1;
  EXPECT_EQ(sink.QueryInterface(nearMiss, &out), E_NOINTERFACE);
  EXPECT_EQ(sink.QueryInterface(platform::kIidIUnknown, nullptr), E_POINTER);
  EXPECT_EQ(sink.AddRef(), 2u);
}

TEST_F(SinkTest, AddRefAndReleaseCountFromOne) {
  EXPECT_EQ(sink.AddRef(), 2u);
  EXPECT_EQ(sink.AddRef(), 3u);
  EXPECT_EQ(sink.Release(), 2u);
  EXPECT_EQ(sink.Release(), 1u);
}

TEST_F(SinkTest, ReleaseBelowTheOwnHoldStopsAtZero) {
  EXPECT_EQ(sink.Release(), 0u);
  EXPECT_EQ(sink.Release(), 0u);
  EXPECT_EQ(sink.Release(), 0u);
  EXPECT_EQ(sink.AddRef(), 1u);
}

TEST(NotifySink, StartsWithOneReference) {
  EXPECT_EQ(quorvel::notifySink.AddRef(), 2u);
  EXPECT_EQ(quorvel::notifySink.Release(), 1u);
}

// ---- OnNotify ----

TEST_F(SinkTest, NullRecordIsRejectedWithoutCallingTheHost) {
  sink.SetHostCallback(&recordHost);
  EXPECT_EQ(sink.OnNotify(nullptr), E_INVALIDARG);
  EXPECT_EQ(hostCalls, 0);
}

TEST_F(SinkTest, NoHostFunctionAcceptsAndDrops) {
  AUDIO_VOLUME_NOTIFICATION_DATA data = record(1, 0.5f);
  EXPECT_EQ(sink.OnNotify(&data), S_OK);
  EXPECT_EQ(hostCalls, 0);
}

TEST_F(SinkTest, ForwardsMuteUnchangedAndLevelAsPercent) {
  sink.SetHostCallback(&recordHost);
  const struct {
    BOOL muted;
    float level;
    int percent;
  } cases[] = {{1, 0.5f, 50},
               {0, 0.125f, 13},
               {7, 1.0f, 100},
               {-1, 0.0f, 0},
               {0, std::numeric_limits<float>::quiet_NaN(), 0},
               {0, std::numeric_limits<float>::infinity(), 0},
               {0, std::numeric_limits<float>::denorm_min(), 0}};
  int expectedCalls = 0;
  for (const auto &c : cases) {
    AUDIO_VOLUME_NOTIFICATION_DATA data = record(c.muted, c.level);
    EXPECT_EQ(sink.OnNotify(&data), S_OK);
    EXPECT_EQ(hostCalls, ++expectedCalls);
    EXPECT_EQ(hostMuted, c.muted);
    EXPECT_EQ(hostPercent, c.percent) << "level " << c.level;
  }
}

TEST_F(SinkTest, ForwardsChangesWhateverTheirEventContext) {
  sink.SetHostCallback(&recordHost);
  AUDIO_VOLUME_NOTIFICATION_DATA data = record(0, 0.75f);
  data.guidEventContext = GUID{0xDEADBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(sink.OnNotify(&data), S_OK);
  EXPECT_EQ(hostPercent, 75);
  data.guidEventContext = GUID{};
  EXPECT_EQ(sink.OnNotify(&data), S_OK);
  EXPECT_EQ(hostCalls, 2);
}

TEST_F(SinkTest, ReplacingTheHostFunctionRedirectsAndNullSilences) {
  sink.SetHostCallback(&recordHost);
  AUDIO_VOLUME_NOTIFICATION_DATA data = record(0, 0.3f);
  sink.OnNotify(&data);
  sink.SetHostCallback(nullptr);
  sink.OnNotify(&data);
  EXPECT_EQ(hostCalls, 1);
}
