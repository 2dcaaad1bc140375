// What a bug report needs to know of the machine and of the Quorvel.dll
// that volumectl runs.
#pragma once

#include <windows.h>

namespace volumectl {

struct MachineInfo {
  // As the kernel reports it; GetVersionEx answers what the manifest allows.
  unsigned long major = 0, minor = 0, build = 0;
  // Wine's version where Wine runs volumectl, else empty.
  char wine[32] = "";
  // The architecture volumectl (and so the DLL) was built for: x86 or x64.
  const char *process = "";
  // A 32-bit process on 64-bit Windows.
  bool wow64 = false;
  // The DLL loaded, in UTF-8; its size and the version its resource states.
  char dllPath[3 * MAX_PATH] = "";
  unsigned long long dllSize = 0;
  char dllVersion[32] = "";
};

MachineInfo describeMachine();

} // namespace volumectl
