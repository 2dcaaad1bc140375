// Module entry: loading and unloading do no work; all state is
// constant-initialised and nothing is ever allocated.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
