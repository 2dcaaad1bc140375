#include "own_endpoint.h"

namespace volumectl {

namespace {

template <typename Interface> void release(Interface *&object) {
  if (object != nullptr) {
    object->Release();
    object = nullptr;
  }
}

HRESULT defaultDevice(IMMDeviceEnumerator *enumerator, IMMDevice *&device) {
  return enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
}

} // namespace

OwnEndpoint::~OwnEndpoint() {
  release(volume_);
  release(enumerator_);
}

HRESULT OwnEndpoint::open() {
  HRESULT status = CoCreateGuid(&context_);
  if (SUCCEEDED(status) && enumerator_ == nullptr) {
    status =
        CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                         __uuidof(IMMDeviceEnumerator), reinterpret_cast<void **>(&enumerator_));
  }
  IMMDevice *device = nullptr;
  if (SUCCEEDED(status)) {
    status = defaultDevice(enumerator_, device);
  }
  if (SUCCEEDED(status)) {
    release(volume_);
    status = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void **>(&volume_));
    device->Release();
  }
  return status;
}

HRESULT OwnEndpoint::setVolume(int percent) {
  return volume_->SetMasterVolumeLevelScalar(static_cast<float>(percent) / 100.0f, &context_);
}

HRESULT OwnEndpoint::read(int &percent, bool &muted) {
  float level = 0.0f;
  BOOL flag = FALSE;
  HRESULT status = volume_->GetMasterVolumeLevelScalar(&level);
  if (SUCCEEDED(status)) {
    status = volume_->GetMute(&flag);
  }
  percent = static_cast<int>(level * 100.0f + 0.5f);
  muted = flag != FALSE;
  return status;
}

HRESULT OwnEndpoint::defaultId(std::wstring &id) {
  id.clear();
  IMMDevice *device = nullptr;
  HRESULT status = defaultDevice(enumerator_, device);
  if (FAILED(status)) {
    return status;
  }
  LPWSTR text = nullptr;
  status = device->GetId(&text);
  if (SUCCEEDED(status)) {
    id = text;
    CoTaskMemFree(text);
  }
  device->Release();
  return status;
}

} // namespace volumectl
