#include "fake_com_runtime.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <thread>

#include "control/control_guard.h"
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
  timer = nullptr;
  timerPeriod = 0;
  timerWindow = 0;
  exiting = false;
  mtaUsages = 0;
  mtaUsageMissing = false;
}

bool FakeComRuntime::tick() {
  const PTP_TIMER_CALLBACK armed = timer;
  if (armed == nullptr) {
    return false;
  }
  armed(nullptr, nullptr, nullptr);
  return true;
}

void endThisThread() { pthread_exit(nullptr); }

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
// would. Work run when a test asks for it (WorkMode::Manual) does not
// sleep: spacing matters only where moves run by themselves.
void Sleep(DWORD milliseconds) {
  if (fake::insidePlatformCallback()) {
    audio().noteCallbackViolation();
  }
  if (fake::FakeAudioService::onWorkThread() && audio().workMode == fake::WorkMode::Manual) {
    return;
  }
  if (!fake::FakeAudioService::onWorkThread() && audio().runQueuedWork() > 0) {
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// One timer at a time. Closing does not wait for a tick in progress, and
// neither does the library's: such a tick may still run after it.
PTP_TIMER CreateThreadpoolTimer(PTP_TIMER_CALLBACK callback, PVOID, PTP_CALLBACK_ENVIRON) {
  if (com().timer != nullptr) {
    return nullptr;
  }
  com().timer = callback;
  return reinterpret_cast<PTP_TIMER>(&com().timer);
}

void SetThreadpoolTimer(PTP_TIMER, PFILETIME due, DWORD period, DWORD window) {
  com().timerPeriod = due != nullptr ? period : 0;
  com().timerWindow = due != nullptr ? window : 0;
}

void CloseThreadpoolTimer(PTP_TIMER timer) {
  if (timer == reinterpret_cast<PTP_TIMER>(&com().timer)) {
    com().timer = nullptr;
  }
}

DWORD GetTickCount() { return com().clock; }

HRESULT CoIncrementMTAUsage(void **cookie) {
  if (com().mtaUsageMissing) {
    return E_NOTIMPL;
  }
  ++com().mtaUsages;
  *cookie = &com().mtaUsages;
  return S_OK;
}

HRESULT CoDecrementMTAUsage(void *cookie) {
  if (cookie == &com().mtaUsages) {
    --com().mtaUsages;
  }
  return S_OK;
}

BOOLEAN RtlDllShutdownInProgress() { return com().exiting ? 1 : 0; }

// Counting a control in on a slot is a step a test can act at.
void quorvel::countIn(VolumeSlot &slot) {
  if (void (*const act)(Step) = audio().hook.load()) {
    act(Step::CountIn);
  }
  slot.inUse.fetch_add(1);
}
