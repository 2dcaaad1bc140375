// Whether a thread the library waits for can still finish. Both tell a
// thread that can never finish from one that is merely slow, by asking
// the system rather than by timing it: a real audio service can take
// seconds to answer while endpoints are rebuilt, and giving up on a live
// thread would let it write to what the waiter has already let go of.
#pragma once

#include "platform/platform.h"

#ifdef _WIN32
// ntdll's, which MinGW-w64's headers do not declare.
extern "C" __declspec(dllimport) BOOLEAN WINAPI RtlDllShutdownInProgress(void);
#endif

namespace quorvel::platform {

// ExitProcess ends every other thread before it detaches the DLLs, and the
// loader says so from then on: anything another thread held stays held.
inline bool processExiting() { return RtlDllShutdownInProgress() != 0; }

// The thread of that id no longer runs. A thread that ended still opens
// while a handle to it is open somewhere, signalled; one whose last handle
// is closed no longer opens at all, with ERROR_INVALID_PARAMETER (any other
// refusal says nothing about it). Its id may in time be given to a new
// thread, which then counts as running: that only makes the wait last.
inline bool threadEnded(DWORD id) {
  const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
  if (thread == nullptr) {
    return GetLastError() == ERROR_INVALID_PARAMETER;
  }
  const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return ended;
}

} // namespace quorvel::platform
