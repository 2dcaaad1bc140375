#include "notify/volume_callback.h"

#include "control/percent.h"
#include "notify/query_interface.h"

namespace quorvel {

constinit CAudioEndpointVolumeCallback notifySink;

HRESULT STDMETHODCALLTYPE CAudioEndpointVolumeCallback::QueryInterface(REFIID riid,
                                                                       void **ppvObject) {
  return answerQuery(this, riid, platform::kIidIAudioEndpointVolumeCallback, ppvObject);
}

ULONG STDMETHODCALLTYPE CAudioEndpointVolumeCallback::AddRef() {
  return static_cast<ULONG>(m_refCount.fetch_add(1) + 1);
}

// The object lives in static storage, so reaching 0 never frees it; an
// unbalanced Release at 0 stays at 0 rather than wrapping.
ULONG STDMETHODCALLTYPE CAudioEndpointVolumeCallback::Release() {
  LONG count = m_refCount.load();
  while (count > 0 && !m_refCount.compare_exchange_weak(count, count - 1)) {
  }
  return static_cast<ULONG>(count > 0 ? count - 1 : 0);
}

HRESULT STDMETHODCALLTYPE
CAudioEndpointVolumeCallback::OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA pNotify) {
  if (pNotify == nullptr) {
    return E_INVALIDARG;
  }
  TellHost(pNotify->bMuted, pNotify->fMasterVolume);
  return S_OK;
}

void CAudioEndpointVolumeCallback::TellHost(BOOL muted, float level) {
  const VolumeChangeCallback callback = m_hostCallback.load(MemoryOrder::relaxed);
  if (callback != nullptr) {
    // The host's result carries no meaning for anyone.
    callback(muted, ScalarToPercent(level));
  }
}

void CAudioEndpointVolumeCallback::SetHostCallback(VolumeChangeCallback callback) {
  m_hostCallback.store(callback, MemoryOrder::relaxed);
}

} // namespace quorvel
