// A minimal platform for measuring: no recording, no locks, no allocation,
// so what a benchmark sees beyond a direct call is the library's own cost.
#pragma once

#include "platform/platform.h"

namespace lean {

class Volume final : public IAudioEndpointVolume {
public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  // IAudioEndpointVolume
  HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback *) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float newLevel, LPCGUID) override {
    level = newLevel;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float *out) override {
    *out = level;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float *) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMute(BOOL newMuted, LPCGUID) override {
    muted = newMuted;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMute(BOOL *out) override {
    *out = muted;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT *, UINT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVolumeRange(float *, float *, float *) override { return E_NOTIMPL; }

  ULONG refs = 0;
  float level = 1.0f;
  BOOL muted = 0;
};

class Device final : public IMMDevice {
public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  // IMMDevice
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT *, void **ppv) override;
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore **) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR *id) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD *) override { return E_NOTIMPL; }

  ULONG refs = 0;
};

class Enumerator final : public IMMDeviceEnumerator {
public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  // IMMDeviceEnumerator
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection **) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice **out) override;
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice **) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient *) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE
  UnregisterEndpointNotificationCallback(IMMNotificationClient *) override {
    return S_OK;
  }

  ULONG refs = 0;
};

extern Enumerator enumerator;
extern Device device;
extern Volume volume;

// Fires the look's timer, as the pool's timer thread would.
void tick();

} // namespace lean
