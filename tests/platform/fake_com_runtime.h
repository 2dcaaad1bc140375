// The fake system runtime linked by the native test build: the component
// runtime functions and the KERNEL32 calls the library makes, recorded
// into the fake service. Like the real runtime, it keeps the component
// runtime's initialisation per thread; work items go to the fake service.
#pragma once

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

  // Unbalanced initialisations on the calling thread, or on any thread.
  int depth() const;
  int totalDepth() const;
  void reset();
};

FakeComRuntime &com();

} // namespace fake
