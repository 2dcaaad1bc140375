#include "fake_com_runtime.h"

#include "fake_audio.h"

namespace fake {

int FakeComRuntime::depth() const {
  const auto found = depths.find(currentThreadId());
  return found == depths.end() ? 0 : found->second;
}

int FakeComRuntime::totalDepth() const {
  int total = 0;
  for (const auto &[thread, depth] : depths) {
    total += depth;
  }
  return total;
}

FakeComRuntime &com() {
  static FakeComRuntime runtime;
  return runtime;
}

} // namespace fake

using fake::audio;
using fake::Call;
using fake::com;
using fake::Step;

HRESULT CoInitialize(LPVOID reserved) {
  Call call{Step::CoInitialize};
  call.pointer = reserved;
  audio().record(call);
  const HRESULT status = audio().statusOf(Step::CoInitialize, com().initialiseStatus);
  if (SUCCEEDED(status)) {
    ++com().depths[fake::currentThreadId()];
  }
  return status;
}

void CoUninitialize() {
  audio().record(Call{Step::CoUninitialize});
  int &depth = com().depths[fake::currentThreadId()];
  if (depth == 0) {
    ++com().unbalancedUninitialise;
    return;
  }
  --depth;
}

HRESULT CoCreateGuid(GUID *guid) {
  audio().record(Call{Step::CoCreateGuid});
  const HRESULT status = audio().statusOf(Step::CoCreateGuid);
  if (FAILED(status)) {
    return status;
  }
  *guid = GUID{com().nextGuid++, 0x5A5A, 0xA5A5, {1, 2, 3, 4, 5, 6, 7, 8}};
  return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *ppv) {
  Call call{Step::CoCreateInstance};
  call.clsid = clsid;
  call.iid = iid;
  call.context = context;
  call.pointer = outer;
  audio().record(call);
  constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);
  if (!quorvel::platform::sameGuid(clsid, quorvel::platform::kClsidMMDeviceEnumerator) ||
      (context & CLSCTX_INPROC_SERVER) == 0) {
    if (ppv != nullptr) {
      *ppv = nullptr;
    }
    return kClassNotRegistered;
  }
  return audio().createEnumerator(outer, iid, ppv);
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE *module) {
  Call call{Step::PinModule};
  call.context = flags;
  call.pointer = name;
  audio().record(call);
  static int image;
  *module = FAILED(audio().statusOf(Step::PinModule)) ? nullptr : reinterpret_cast<HMODULE>(&image);
  return *module != nullptr ? 1 : 0;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(fake::currentThreadId()); }
