// A plug-in as hosts load them: it binds when asked and lets go when it is
// detached. At the end of the process that is after ExitProcess has ended
// every other thread, a move's among them. It says how long letting go took.
#include <windows.h>

#include <cstdio>

#include "quorvel.h"

extern "C" __declspec(dllexport) int PluginBind() { return InitEndPoint(nullptr); }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    const ULONGLONG start = GetTickCount64();
    const int result = UninitEndPoint();
    char line[64];
    const int length = std::snprintf(line, sizeof line, "UninitEndPoint gave %d after %llu ms\n",
                                     result, GetTickCount64() - start);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
  }
  return TRUE;
}
