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
// Held while the timer fires, so that deleting it waits for a tick.
std::mutex timerLock;
thread_local DWORD lastError = 0;
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
  {
    std::lock_guard timerGuard(timerLock);
    timer = nullptr;
    timerPeriod = 0;
  }
  endedThreads.clear();
  exiting = false;
}

bool FakeComRuntime::tick() {
  std::lock_guard guard(timerLock);
  if (timer == nullptr) {
    return false;
  }
  timer(nullptr, 1);
  return true;
}

void endThisThread() {
  {
    std::lock_guard guard(runtimeLock);
    com().endedThreads.insert(GetCurrentThreadId());
  }
  pthread_exit(nullptr);
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

BOOL CreateTimerQueueTimer(HANDLE *timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID, DWORD,
                           DWORD period, unsigned long) {
  std::lock_guard guard(fake::timerLock);
  if (queue != nullptr || com().timer != nullptr) {
    return 0;
  }
  com().timer = callback;
  com().timerPeriod = period;
  *timer = &com().timer;
  return 1;
}

// Deletes the one timer; with INVALID_HANDLE_VALUE, after a tick in
// progress, as the system does. Without, a tick may still run after it.
BOOL DeleteTimerQueueTimer(HANDLE, HANDLE timer, HANDLE completion) {
  std::unique_lock guard(fake::timerLock, std::defer_lock);
  if (completion == INVALID_HANDLE_VALUE) {
    guard.lock();
  }
  if (timer != &com().timer) {
    return 0;
  }
  com().timer = nullptr;
  return 1;
}

// Any thread not ended opens, as a handle that is never signalled.
HANDLE OpenThread(DWORD, BOOL, DWORD id) {
  std::lock_guard guard(fake::runtimeLock);
  if (com().endedThreads.count(id) != 0) {
    fake::lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  return &com().endedThreads;
}

DWORD WaitForSingleObject(HANDLE, DWORD) {
  constexpr DWORD kWaitTimeout = 258;
  return kWaitTimeout;
}

BOOL CloseHandle(HANDLE) { return 1; }

DWORD GetLastError() { return fake::lastError; }

BOOLEAN RtlDllShutdownInProgress() { return com().exiting ? 1 : 0; }

// Counting a control in on a slot is a step a test can act at.
void quorvel::countIn(VolumeSlot &slot) {
  if (void (*const act)(Step) = audio().hook.load()) {
    act(Step::CountIn);
  }
  slot.inUse.fetch_add(1);
}
