// The notification object registered on the endpoint volume control; it
// forwards every change the platform reports to the host function.
#pragma once

#include "platform/atomics.h"

#include "platform/platform.h"
#include "quorvel.h"

namespace quorvel {

class CAudioEndpointVolumeCallback final : public IAudioEndpointVolumeCallback {
public:
  constexpr CAudioEndpointVolumeCallback() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IAudioEndpointVolumeCallback
  HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA pNotify) override;

  // Replaces the host function; only while not registered anywhere.
  void SetHostCallback(VolumeChangeCallback callback);
  // Tells the host function of a state, as OnNotify does.
  void TellHost(BOOL muted, float level);

private:
  // The library's own hold (1) plus the platform's holds.
  Atomic<LONG> m_refCount{1};
  // Host function told of every change; null tells nobody. Atomic so the
  // platform thread's read never races the host thread's write.
  Atomic<VolumeChangeCallback> m_hostCallback{nullptr};
};

// The one instance: static storage, constant-initialised, never freed.
extern constinit CAudioEndpointVolumeCallback notifySink;

} // namespace quorvel
