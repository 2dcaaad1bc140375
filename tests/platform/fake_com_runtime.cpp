#include "fake_com_runtime.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "fake_audio.h"

namespace fake {

namespace {
// Work items call into the runtime from threads of their own.
std::mutex runtimeLock;
} // namespace

int FakeComRuntime::depth() const {
  std::lock_guard guard(runtimeLock);
  const auto found = depths.find(currentThreadId());
  return found == depths.end() ? 0 : found->second;
}

void FakeComRuntime::reset() {
  std::lock_guard guard(runtimeLock);
  initialiseStatus = S_OK;
  depths.clear();
  unbalancedUninitialise = 0;
  nextGuid = 1;
  allocationsOutstanding = 0;
}

int FakeComRuntime::totalDepth() const {
  std::lock_guard guard(runtimeLock);
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

namespace {

HRESULT initialise(Step step, LPVOID reserved, DWORD mode) {
  Call call{step};
  call.pointer = reserved;
  call.context = mode;
  audio().record(call);
  std::lock_guard guard(fake::runtimeLock);
  const HRESULT status = audio().statusOf(step, com().initialiseStatus);
  if (SUCCEEDED(status)) {
    ++com().depths[fake::currentThreadId()];
  }
  return status;
}

} // namespace

HRESULT CoInitialize(LPVOID reserved) { return initialise(Step::CoInitialize, reserved, 0); }

HRESULT CoInitializeEx(LPVOID reserved, DWORD mode) {
  return initialise(Step::CoInitializeEx, reserved, mode);
}

void CoUninitialize() {
  audio().record(Call{Step::CoUninitialize});
  std::lock_guard guard(fake::runtimeLock);
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

LPVOID CoTaskMemAlloc(std::size_t bytes) {
  std::lock_guard guard(fake::runtimeLock);
  ++com().allocationsOutstanding;
  return std::malloc(bytes);
}

void CoTaskMemFree(LPVOID block) {
  if (block == nullptr) {
    return;
  }
  std::lock_guard guard(fake::runtimeLock);
  --com().allocationsOutstanding;
  std::free(block);
}

BOOL QueueUserWorkItem(LPTHREAD_START_ROUTINE function, LPVOID context, unsigned long) {
  return audio().queueWork(function, context);
}

// The library waits by sleeping; a platform callback never may. While a
// host's thread waits, the pool gets to run what is queued, as its threads
// would.
void Sleep(DWORD milliseconds) {
  if (fake::insidePlatformCallback()) {
    audio().noteCallbackViolation();
  }
  if (!fake::FakeAudioService::onWorkThread() && audio().runQueuedWork() > 0) {
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
