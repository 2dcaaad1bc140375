// The built DLL against Wine's own audio endpoint service. Wine 8 leaves
// SetMasterVolumeLevelScalar unimplemented, always reads a level of 1.0
// and sends no notifications; these tests hold the DLL to what the service
// does rather than to what Windows would do.
#include <gtest/gtest.h>

#include "host_module.h"
#include "platform/platform.h"

namespace platform = quorvel::platform;

namespace {

// The status the service itself gives a direct level change.
HRESULT directSetLevel(float level) {
  IMMDeviceEnumerator *enumerator = nullptr;
  IMMDevice *device = nullptr;
  IAudioEndpointVolume *volume = nullptr;
  HRESULT status =
      CoCreateInstance(platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                       platform::kIidIMMDeviceEnumerator, reinterpret_cast<void **>(&enumerator));
  if (SUCCEEDED(status)) {
    status = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
  }
  if (SUCCEEDED(status)) {
    status = device->Activate(platform::kIidIAudioEndpointVolume, CLSCTX_ALL, nullptr,
                              reinterpret_cast<void **>(&volume));
  }
  if (SUCCEEDED(status)) {
    status = volume->SetMasterVolumeLevelScalar(level, nullptr);
    volume->Release();
  }
  if (device != nullptr) {
    device->Release();
  }
  if (enumerator != nullptr) {
    enumerator->Release();
  }
  return status;
}

class WineService : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(dll.complete());
  }
  void TearDown() override { CoUninitialize(); }
  HostModule dll;
};

class WineAudio : public WineService {};
class WineNoDevice : public WineService {};

} // namespace

TEST_F(WineAudio, BindsToTheDefaultDeviceAndRoundTripsMute) {
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  EXPECT_EQ(dll.MuteSet(1), 1);
  EXPECT_EQ(dll.MuteGet(), 1);
  EXPECT_EQ(dll.MuteSet(0), 1);
  EXPECT_EQ(dll.MuteGet(), 0);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
}

TEST_F(WineAudio, VolumeSetReturnsWhatTheServiceReturns) {
  const HRESULT direct = directSetLevel(0.4f);
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  EXPECT_EQ(dll.VolumeSet(40), direct);
  int percent = -1;
  EXPECT_EQ(dll.VolumeGet(&percent), 1);
  EXPECT_GE(percent, 0);
  EXPECT_LE(percent, 100);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  ::testing::Test::RecordProperty("direct_status", static_cast<int>(direct));
  std::printf("SetMasterVolumeLevelScalar status under this service: 0x%08lX\n",
              static_cast<unsigned long>(direct));
}

TEST_F(WineNoDevice, InitFailsAndUninitLeavesNothingHeld) {
  EXPECT_EQ(dll.InitEndPoint(nullptr), 0);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  EXPECT_EQ(static_cast<unsigned>(dll.VolumeSet(50)), 0x88890001u) << "no volume control held";
  EXPECT_EQ(dll.MuteGet(), 0);
  EXPECT_EQ(dll.InitEndPoint(nullptr), 0) << "still no device, and not refused as bound";
  EXPECT_EQ(dll.UninitEndPoint(), 1);
}
