// Whether the process is exiting: ExitProcess ends every other thread
// before it detaches the DLLs, and the loader says so from then on.
// Anything another thread held stays held, and the modules loaded after
// this one (the audio service's, among them) are detached already.
#pragma once

#include "platform/platform.h"

#ifdef _WIN32
// ntdll's, which MinGW-w64's headers do not declare.
extern "C" __declspec(dllimport) BOOLEAN WINAPI RtlDllShutdownInProgress(void);
#endif

namespace quorvel::platform {

inline bool processExiting() { return RtlDllShutdownInProgress() != 0; }

} // namespace quorvel::platform
