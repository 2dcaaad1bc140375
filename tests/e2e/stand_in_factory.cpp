#include "stand_in_factory.h"

#include "fake_audio.h"

namespace fake {

namespace {

constexpr IID kIidIClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A class object in static storage: COM's references to it need no freeing.
class EnumeratorFactory final : public IClassFactory {
public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) {
      return E_POINTER;
    }
    if (quorvel::platform::sameGuid(riid, quorvel::platform::kIidIUnknown) ||
        quorvel::platform::sameGuid(riid, kIidIClassFactory)) {
      *ppv = static_cast<IClassFactory *>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    Call call{Step::CoCreateInstance};
    call.iid = riid;
    call.pointer = outer;
    audio().record(call);
    return audio().createEnumerator(outer, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

EnumeratorFactory factory;

} // namespace

IClassFactory *enumeratorFactory() { return &factory; }

namespace {

HRESULT registerFactory(DWORD *cookie) {
  return CoRegisterClassObject(quorvel::platform::kClsidMMDeviceEnumerator, &factory,
                               CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, cookie);
}

} // namespace

StandInRegistration::StandInRegistration() {
  status_ = registerFactory(&cookie_);
  HANDLE registered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  leaveMta_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A caller already in the multithreaded apartment may see this one
  // refused as a second registration there; it has the first.
  mta_ = std::thread([registered, leave = leaveMta_] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD cookie = 0;
    const HRESULT status = registerFactory(&cookie);
    SetEvent(registered);
    WaitForSingleObject(leave, INFINITE);
    if (SUCCEEDED(status)) {
      CoRevokeClassObject(cookie);
    }
    CoUninitialize();
  });
  WaitForSingleObject(registered, INFINITE);
  CloseHandle(registered);
}

StandInRegistration::~StandInRegistration() {
  SetEvent(leaveMta_);
  mta_.join();
  CloseHandle(leaveMta_);
  if (SUCCEEDED(status_)) {
    CoRevokeClassObject(cookie_);
  }
}

IAudioEndpointVolumeCallback *registeredSink() {
  for (const Call &call : audio().calls()) {
    if (call.step == Step::RegisterControlChangeNotify) {
      return static_cast<IAudioEndpointVolumeCallback *>(const_cast<void *>(call.pointer));
    }
  }
  return nullptr;
}

IAudioEndpointVolume *openOtherClient() {
  namespace platform = quorvel::platform;
  IMMDeviceEnumerator *enumerator = nullptr;
  if (FAILED(CoCreateInstance(platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                              platform::kIidIMMDeviceEnumerator,
                              reinterpret_cast<void **>(&enumerator)))) {
    return nullptr;
  }
  IMMDevice *device = nullptr;
  IAudioEndpointVolume *volume = nullptr;
  if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
    device->Activate(platform::kIidIAudioEndpointVolume, CLSCTX_ALL, nullptr,
                     reinterpret_cast<void **>(&volume));
    device->Release();
  }
  enumerator->Release();
  return volume;
}

} // namespace fake
