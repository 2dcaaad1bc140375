#include "notify/device_watch.h"

#include "control/default_follow.h"
#include "notify/query_interface.h"

namespace quorvel {

constinit CMMNotificationClient deviceWatch;

HRESULT STDMETHODCALLTYPE CMMNotificationClient::QueryInterface(REFIID riid, void **ppvObject) {
  return answerQuery(this, riid, platform::kIidIMMNotificationClient, ppvObject);
}

// Static storage and never freed, so there is nothing to count: the
// platform's holds change nothing.
ULONG STDMETHODCALLTYPE CMMNotificationClient::AddRef() { return 2; }
ULONG STDMETHODCALLTYPE CMMNotificationClient::Release() { return 1; }

// A device that changed state, came or went may be the one held, reset in
// place with its objects lost. Which one it is the move finds out: the
// held id belongs to it, so only a move is asked for.
HRESULT STDMETHODCALLTYPE CMMNotificationClient::OnDeviceStateChanged(LPCWSTR, DWORD) {
  requestMove();
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CMMNotificationClient::OnDeviceAdded(LPCWSTR) {
  requestMove();
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CMMNotificationClient::OnDeviceRemoved(LPCWSTR) {
  requestMove();
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CMMNotificationClient::OnPropertyValueChanged(LPCWSTR,
                                                                        const PROPERTYKEY) {
  return S_OK;
}

// The platform calls this on its own thread, possibly under its own lock:
// moving here could block, re-enter the enumerator or release the last
// reference of a device, so the move is only requested. The id is not
// used: the move looks the default up itself, so it always lands on the
// newest one.
HRESULT STDMETHODCALLTYPE CMMNotificationClient::OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                                        LPCWSTR) {
  if (flow == eRender && role == eConsole) {
    requestMove();
  }
  return S_OK;
}

} // namespace quorvel
