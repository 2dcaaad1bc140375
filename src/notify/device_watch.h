// The endpoint notification client registered with the enumerator: it
// hands every change of the default render device for the console role to
// the thread pool, where the binding moves.
#pragma once

#include "platform/platform.h"

namespace quorvel {

class CMMNotificationClient final : public IMMNotificationClient {
public:
  constexpr CMMNotificationClient() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IMMNotificationClient
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override;
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override;
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                   LPCWSTR pwstrDefaultDeviceId) override;
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override;
};

// The one instance: static storage, constant-initialised, never freed.
extern constinit CMMNotificationClient deviceWatch;

} // namespace quorvel
