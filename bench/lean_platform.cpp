#include "lean_platform.h"

#include "control/control_guard.h"

namespace lean {

Enumerator enumerator;
Device device;
Volume volume;

HRESULT STDMETHODCALLTYPE Volume::QueryInterface(REFIID, void **ppv) {
  AddRef();
  *ppv = this;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Device::QueryInterface(REFIID, void **ppv) {
  AddRef();
  *ppv = this;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Device::Activate(REFIID, DWORD, PROPVARIANT *, void **ppv) {
  volume.AddRef();
  *ppv = &volume;
  return S_OK;
}

// One id for the one device; CoTaskMemFree below frees nothing.
HRESULT STDMETHODCALLTYPE Device::GetId(LPWSTR *id) {
  static WCHAR text[] = u"lean";
  *id = text;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Enumerator::QueryInterface(REFIID, void **ppv) {
  AddRef();
  *ppv = this;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Enumerator::GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice **out) {
  device.AddRef();
  *out = &device;
  return S_OK;
}

} // namespace lean

// The component runtime, reduced to what the library needs.
HRESULT CoInitialize(LPVOID) { return S_FALSE; }
HRESULT CoInitializeEx(LPVOID, DWORD) { return S_FALSE; }
void CoTaskMemFree(LPVOID) {}
void CoUninitialize() {}
HRESULT CoCreateGuid(GUID *guid) {
  *guid = GUID{0x1234, 0x5678, 0x9ABC, {1, 2, 3, 4, 5, 6, 7, 8}};
  return S_OK;
}
HRESULT CoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID *ppv) {
  lean::enumerator.AddRef();
  *ppv = &lean::enumerator;
  return S_OK;
}
BOOL GetModuleHandleExW(DWORD, LPCWSTR, HMODULE *module) {
  *module = nullptr;
  return 1;
}
DWORD GetCurrentThreadId() { return 1; }
// Only the look queues work here; it runs at once, on the caller's thread.
BOOL QueueUserWorkItem(LPTHREAD_START_ROUTINE function, LPVOID context, unsigned long) {
  function(context);
  return 1;
}
void Sleep(DWORD) {}
// The look's timer fires when lean::tick() is called.
namespace {
PTP_TIMER_CALLBACK timer;
}
void lean::tick() { timer(nullptr, nullptr, nullptr); }
PTP_TIMER CreateThreadpoolTimer(PTP_TIMER_CALLBACK callback, PVOID, PTP_CALLBACK_ENVIRON) {
  timer = callback;
  return reinterpret_cast<PTP_TIMER>(&timer);
}
void SetThreadpoolTimer(PTP_TIMER, PFILETIME, DWORD, DWORD) {}
void CloseThreadpoolTimer(PTP_TIMER) {}
DWORD GetTickCount() { return 0; }
// The apartment is held while bound, as from Windows 8 on.
HRESULT CoIncrementMTAUsage(void **cookie) {
  *cookie = &timer;
  return S_OK;
}
HRESULT CoDecrementMTAUsage(void *) { return S_OK; }
BOOLEAN RtlDllShutdownInProgress() { return 0; }
void quorvel::countIn(VolumeSlot &slot) { slot.inUse.fetch_add(1); }
