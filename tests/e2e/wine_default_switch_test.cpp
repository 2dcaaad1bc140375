// The built DLL following the default playback device of Wine's own audio
// service, which here has two null outputs. The test switches the default
// as a user's settings would: by writing the endpoint id into the
// registry, which Wine watches. Wine keeps a mute flag per volume object,
// so MuteGet shows whether the DLL holds the object it had or a new one.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "host_module.h"
#include "platform/platform.h"

namespace platform = quorvel::platform;

namespace {

constexpr wchar_t kDriverKey[] = L"Software\\Wine\\Drivers\\winealsa.drv";
constexpr wchar_t kDefaultOutput[] = L"DefaultOutput";
// Generous, since the 32-bit Wine may run under qemu.
constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kNudgeMs = 250;
constexpr int kNotBound = static_cast<int>(0x88890001u);

void setDefaultOutput(const std::wstring &id) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDriverKey, kDefaultOutput, REG_SZ, id.c_str(),
                            static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void clearDefaultOutput() {
  const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kDriverKey, kDefaultOutput);
  ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

std::wstring takeId(IMMDevice *device) {
  LPWSTR id = nullptr;
  std::wstring result;
  if (SUCCEEDED(device->GetId(&id))) {
    result = id;
    CoTaskMemFree(id);
  }
  device->Release();
  return result;
}

// The ids of Wine's own default output and of the other one.
void findOutputs(std::wstring &first, std::wstring &second) {
  IMMDeviceEnumerator *enumerator = nullptr;
  ASSERT_EQ(CoCreateInstance(platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                             platform::kIidIMMDeviceEnumerator,
                             reinterpret_cast<void **>(&enumerator)),
            S_OK);
  IMMDevice *device = nullptr;
  IMMDeviceCollection *outputs = nullptr;
  UINT count = 0;
  if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
    first = takeId(device);
  }
  if (SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &outputs))) {
    outputs->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
      if (SUCCEEDED(outputs->Item(i, &device)) && (second = takeId(device)) != first) {
        break;
      }
    }
    outputs->Release();
  }
  enumerator->Release();
  ASSERT_EQ(count, 2u) << "the two null outputs";
  ASSERT_FALSE(first.empty());
  ASSERT_NE(second, first);
}

HANDLE told = nullptr;
std::atomic<int> toldMuted{-1};
std::atomic<int> toldPercent{-1};

int QUORVEL_CALL onChange(int muted, int percent) {
  toldMuted.store(muted);
  toldPercent.store(percent);
  ReleaseSemaphore(told, 1, nullptr);
  return 0;
}

class WineDefaultSwitch : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(dll.complete());
    told = CreateSemaphoreW(nullptr, 0, 100, nullptr);
    ASSERT_NE(told, nullptr);
    clearDefaultOutput(); // a run cut short may have left one
    findOutputs(first, second);
  }
  void TearDown() override {
    dll.UninitEndPoint();
    clearDefaultOutput();
    CloseHandle(told);
    CoUninitialize();
  }

  // Makes id the default and waits until `done` holds. Wine looks at the
  // key only while it waits for a change, so a write made while it is busy
  // goes unseen; writing the same id again wakes it, and it reports the
  // change once (the same id once more is no change).
  template <typename Done> bool switchTo(const std::wstring &id, Done done) {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kNudgeMs) {
      setDefaultOutput(id);
      if (done(kNudgeMs)) {
        return true;
      }
    }
    return false;
  }
  // The host told once, with the state the controls now read.
  void expectToldOfSwitchTo(const std::wstring &id) {
    ASSERT_EQ(WaitForSingleObject(told, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "told too often";
    ASSERT_TRUE(switchTo(id, [](DWORD ms) { return WaitForSingleObject(told, ms) == 0; }))
        << "host not told of the switch";
    int percent = -1;
    dll.VolumeGet(&percent);
    EXPECT_EQ(toldMuted.load(), 0) << "a fresh volume object is not muted";
    EXPECT_EQ(dll.MuteGet(), 0) << "still the old device's muted object";
    EXPECT_EQ(toldPercent.load(), percent);
  }

  HostModule dll;
  std::wstring first, second;
};

} // namespace

TEST_F(WineDefaultSwitch, FollowsTheDefaultAwayAndBackAndThroughAnUnusableOne) {
  // Wine reads the default when its watch starts, inside InitEndPoint; set
  // beforehand, every switch below is a change it reports.
  setDefaultOutput(first);
  ASSERT_EQ(dll.InitEndPoint(onChange), 1);
  dll.MuteSet(1);
  ASSERT_EQ(dll.MuteGet(), 1);

  expectToldOfSwitchTo(second);
  dll.MuteSet(1);
  EXPECT_EQ(dll.MuteGet(), 1) << "the new device's object is held";

  expectToldOfSwitchTo(first); // not the muted object it let go of

  EXPECT_TRUE(switchTo(L"{0.0.0.00000000}.{5ca1ab1e-0000-4000-8000-000000000000}",
                       [this](DWORD ms) {
                         Sleep(ms);
                         return dll.VolumeSet(50) == kNotBound;
                       }))
      << "still bound to a device that is no longer the default";
  int percent = -1;
  EXPECT_EQ(dll.VolumeGet(&percent), 1);
  EXPECT_EQ(percent, -1);
  EXPECT_EQ(dll.MuteGet(), 0);
  EXPECT_EQ(dll.InitEndPoint(onChange), 0) << "still bound, waiting for a device";

  expectToldOfSwitchTo(second);
  EXPECT_NE(dll.VolumeSet(50), kNotBound);
  dll.MuteSet(1);
  EXPECT_EQ(dll.MuteGet(), 1);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
}
