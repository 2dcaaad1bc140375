// Module entry: loading and unloading do no work; all state is
// constant-initialised and nothing is ever allocated.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

#ifdef _MSC_VER
// MSVC-style compilers have every object that uses floating point refer to
// _fltused, which the C runtime defines; the DLL links none.
extern "C" int _fltused = 0;
#endif
