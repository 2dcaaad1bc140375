// Letting go of what the binding holds: references and the platform's
// allocations, each cleared so that it is given back once.
#pragma once

#include "platform/platform.h"

namespace quorvel {

template <typename Interface> void releaseAndClear(Interface *&held) {
  if (held != nullptr) {
    held->Release();
    held = nullptr;
  }
}

inline void freeAndClear(LPWSTR &allocation) {
  CoTaskMemFree(allocation);
  allocation = nullptr;
}

} // namespace quorvel
