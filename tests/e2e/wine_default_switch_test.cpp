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
constexpr wchar_t kNudge[] = L"QuorvelTestNudge";
// Generous, since the 32-bit Wine may run under qemu.
constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kNudgeMs = 250;

void setDefaultOutput(const std::wstring &id) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDriverKey, kDefaultOutput, REG_SZ, id.c_str(),
                            static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void clearValue(LPCWSTR name = kDefaultOutput) {
  const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kDriverKey, name);
  ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

// Wine looks at the key only while it waits for a change, so a switch
// written while it is busy goes unseen until the key changes again; and
// writing the same data again is no change. A counter in a value of its
// own wakes it, and it then reports a default it has not reported yet.
void nudge() {
  static DWORD count = 0;
  ++count;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDriverKey, kNudge, REG_DWORD, &count, sizeof count),
            ERROR_SUCCESS);
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

// Counts Wine's reports of a new default; only their arrival matters.
struct DefaultWatch final : IMMNotificationClient {
  std::atomic<int> reports{0};
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow, ERole, LPCWSTR) override {
    reports.fetch_add(1);
    return S_OK;
  }
} watch;

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
    clearValue(); // a run cut short may have left one
    ASSERT_EQ(CoCreateInstance(platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                               platform::kIidIMMDeviceEnumerator,
                               reinterpret_cast<void **>(&enumerator)),
              S_OK);
    IMMDevice *device = nullptr;
    ASSERT_EQ(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device), S_OK);
    first = takeId(device);
    IMMDeviceCollection *outputs = nullptr;
    ASSERT_EQ(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &outputs), S_OK);
    UINT count = 0;
    outputs->GetCount(&count);
    for (UINT i = 0; i < count && (second.empty() || second == first); ++i) {
      second = outputs->Item(i, &device) == S_OK ? takeId(device) : L"";
    }
    outputs->Release();
    ASSERT_EQ(count, 2u) << "the two null outputs";
    ASSERT_NE(second, first);
    // Wine starts watching the registry at the first registration in the
    // process and takes the value it finds then as the default it knows:
    // a switch written before that is never reported. Until Wine reports
    // something, name the same output two ways in turn.
    ASSERT_EQ(enumerator->RegisterEndpointNotificationCallback(&watch), S_OK);
    for (DWORD waited = 0; watch.reports.load() == 0 && waited < kTimeoutMs; waited += kNudgeMs) {
      waited % (2 * kNudgeMs) == 0 ? setDefaultOutput(first) : clearValue();
      Sleep(kNudgeMs);
    }
    ASSERT_GT(watch.reports.load(), 0) << "Wine reports no switch";
  }
  void TearDown() override {
    if (dll.complete()) {
      dll.UninitEndPoint();
    }
    if (enumerator != nullptr) {
      enumerator->UnregisterEndpointNotificationCallback(&watch);
      enumerator->Release();
    }
    clearValue();
    clearValue(kNudge);
    CloseHandle(told);
    CoUninitialize();
  }

  // Makes id the default and expects the host told once, with the state
  // the controls then read.
  void expectToldOfSwitchTo(const std::wstring &id) {
    ASSERT_EQ(WaitForSingleObject(told, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "told too often";
    setDefaultOutput(id);
    DWORD waited = 0;
    for (; waited < kTimeoutMs; waited += kNudgeMs) {
      if (WaitForSingleObject(told, kNudgeMs) == WAIT_OBJECT_0) {
        break;
      }
      nudge();
    }
    ASSERT_LT(waited, kTimeoutMs) << "host not told of the switch";
    int percent = -1;
    dll.VolumeGet(&percent);
    EXPECT_EQ(toldPercent.load(), percent);
    EXPECT_EQ(toldMuted.load(), 0) << "a new volume object is not muted";
    EXPECT_EQ(dll.MuteGet(), 0) << "still the old device's muted object";
    dll.MuteSet(1); // marks the object now held
    EXPECT_EQ(dll.MuteGet(), 1);
  }

  HostModule dll;
  IMMDeviceEnumerator *enumerator = nullptr;
  std::wstring first, second;
};

} // namespace

TEST_F(WineDefaultSwitch, FollowsTheDefaultAwayAndBack) {
  ASSERT_EQ(dll.InitEndPoint(onChange), 1);
  dll.MuteSet(1);
  ASSERT_EQ(dll.MuteGet(), 1);
  expectToldOfSwitchTo(second);
  expectToldOfSwitchTo(first);
  expectToldOfSwitchTo(second);
  // Wine reports an id it does not know as it is, but answers the request
  // for the default with its own default output: the DLL, which asks, moves
  // there rather than letting go.
  expectToldOfSwitchTo(L"{0.0.0.00000000}.{5CA1AB1E-0000-4000-8000-000000000000}");
  expectToldOfSwitchTo(second);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  EXPECT_EQ(WaitForSingleObject(told, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "told too often";
}
