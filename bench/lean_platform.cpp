#include "lean_platform.h"

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
// The default never changes here, so nothing is queued and nobody waits.
BOOL QueueUserWorkItem(LPTHREAD_START_ROUTINE, LPVOID, unsigned long) { return 0; }
void Sleep(DWORD) {}
