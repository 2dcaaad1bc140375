// The fake component runtime linked by the native test build: the four
// runtime functions the library calls, recorded into the fake service.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace fake {

struct FakeComRuntime {
  // What CoInitialize answers when it does not fail on request: S_OK on a
  // fresh thread, S_FALSE when already initialised, or RPC_E_CHANGED_MODE.
  HRESULT initialiseStatus = S_OK;
  // Successful CoInitialize calls not yet balanced.
  int depth = 0;
  // CoUninitialize calls made with nothing left to balance.
  int unbalancedUninitialise = 0;
  // Seed of the next GUID CoCreateGuid hands out.
  std::uint32_t nextGuid = 1;

  void reset() { *this = FakeComRuntime{}; }
};

FakeComRuntime &com();

} // namespace fake
