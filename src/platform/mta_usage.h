// Keeping the process's multithreaded apartment alive while bound, so that
// work on the system thread pool runs in it without initialising the
// component runtime each time. The calls exist from Windows 8 on and are
// looked up when needed, so that the DLL still loads where they are
// missing; there the work initialises the runtime itself.
#pragma once

#include "platform/platform.h"

namespace quorvel::platform {

// A hold on the apartment; null for none.
using MtaUsage = void *;

#ifdef _WIN32
// ole32 is among the DLL's imports, so it is loaded while the DLL is. Its
// name is spelt out, as WCHAR is wchar_t in one SDK and char16_t in
// another.
template <typename Function> Function ole32Function(const char *name) {
  constexpr WCHAR kOle32[] = {'o', 'l', 'e', '3', '2', 0};
  HMODULE ole32 = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kOle32, &ole32);
  const FARPROC found = ole32 != nullptr ? GetProcAddress(ole32, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

inline MtaUsage holdMultithreadedApartment() {
  using Increment = HRESULT(WINAPI *)(MtaUsage *);
  const auto increment = ole32Function<Increment>("CoIncrementMTAUsage");
  MtaUsage usage = nullptr;
  return increment != nullptr && SUCCEEDED(increment(&usage)) ? usage : nullptr;
}

inline void releaseMultithreadedApartment(MtaUsage usage) {
  using Decrement = HRESULT(WINAPI *)(MtaUsage);
  if (const auto decrement = ole32Function<Decrement>("CoDecrementMTAUsage")) {
    decrement(usage);
  }
}
#else
inline MtaUsage holdMultithreadedApartment() {
  MtaUsage usage = nullptr;
  return SUCCEEDED(CoIncrementMTAUsage(&usage)) ? usage : nullptr;
}

inline void releaseMultithreadedApartment(MtaUsage usage) { CoDecrementMTAUsage(usage); }
#endif

} // namespace quorvel::platform
