// The fake system runtime linked by the native test build: the component
// runtime functions and the KERNEL32 and ntdll calls the library makes,
// recorded into the fake service. Like the real runtime, it keeps the
// component runtime's initialisation per thread; work items go to the fake
// service; the timer fires when a test ticks it; a test can end a thread
// or have the process exit.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>

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
  // The timer queue timer made and not deleted, or null; and its period.
  WAITORTIMERCALLBACK timer = nullptr;
  DWORD timerPeriod = 0;
  // Threads ended by endThisThread; they no longer open.
  std::set<DWORD> endedThreads;
  // What RtlDllShutdownInProgress answers.
  std::atomic<bool> exiting{false};

  // Calls the timer's callback as the timer's thread would; false when no
  // timer is armed. DeleteTimerQueueTimer waits for a tick in progress.
  bool tick();

  // Unbalanced initialisations on the calling thread, or on any thread.
  int depth() const;
  int totalDepth() const;
  void reset();
};

FakeComRuntime &com();

// Ends the calling thread where it stands, as ExitThread or the end of the
// process would: it never returns, and nothing of it runs again.
[[noreturn]] void endThisThread();

} // namespace fake
