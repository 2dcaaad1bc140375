// The fake system runtime linked by the native test build: the component
// runtime functions and the KERNEL32 and ntdll calls the library makes,
// recorded into the fake service. Like the real runtime, it keeps the
// component runtime's initialisation per thread; work items go to the fake
// service; the timer fires when a test ticks it; the clock moves when a
// test moves it; a test can have the process exit.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>

#include "platform/platform.h"

namespace fake {

struct FakeComRuntime {
  // What CoInitialize answers when it does not fail on request: S_OK on a
  // fresh thread, S_FALSE when already initialised, or RPC_E_CHANGED_MODE.
  HRESULT initialiseStatus = S_OK;
  // Successful CoInitialize calls not yet balanced, by thread.
  std::map<unsigned long, int> depths;
  // CoUninitialize calls made on a thread with nothing left to balance.
  int unbalancedUninitialise = 0;
  // Seed of the next GUID CoCreateGuid hands out.
  std::uint32_t nextGuid = 1;
  // CoTaskMemAlloc blocks not given back with CoTaskMemFree.
  int allocationsOutstanding = 0;
  // The thread-pool timer made and not closed, or null; its period and
  // window once set.
  std::atomic<PTP_TIMER_CALLBACK> timer{nullptr};
  std::atomic<DWORD> timerPeriod{0};
  std::atomic<DWORD> timerWindow{0};
  // What RtlDllShutdownInProgress answers.
  std::atomic<bool> exiting{false};
  // What GetTickCount answers; never set back, since the library keeps
  // times across tests.
  std::atomic<DWORD> clock{1000};
  // Holds on the multithreaded apartment not given back, and whether
  // CoIncrementMTAUsage is missing, as before Windows 8.
  std::atomic<int> mtaUsages{0};
  bool mtaUsageMissing = false;

  // Calls the timer's callback as a pool thread would; false when no
  // timer is armed.
  bool tick();

  // Unbalanced initialisations on the calling thread, or on any thread.
  int depth() const;
  int totalDepth() const;
  void reset();
};

FakeComRuntime &com();

// Ends the calling thread where it stands, as the end of the process
// does: it never returns, and nothing of it runs again.
[[noreturn]] void endThisThread();

} // namespace fake
