// A host that exits while a move is stuck inside the audio service: a
// plug-in bound to the stand-in service lets go at its detach, after
// ExitProcess has ended the move's thread. The process must still end.
#include <windows.h>

#include <cstdio>

#include "fake_audio.h"
#include "stand_in_factory.h"

namespace {

HANDLE moveEntered;
DWORD mainThread;

// Every lookup of the default but the binding's own (on the main thread)
// is a move's: it never comes back.
void holdMoves(fake::Step step) {
  if (step == fake::Step::GetDefaultAudioEndpoint && GetCurrentThreadId() != mainThread) {
    SetEvent(moveEntered);
    Sleep(INFINITE);
  }
}

} // namespace

int main() {
  mainThread = GetCurrentThreadId();
  moveEntered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return 2;
  }
  static fake::StandInRegistration registration; // never revoked: the process ends bound
  const HMODULE plugin = LoadLibraryW(L"exit_plugin.dll");
  const auto bind =
      reinterpret_cast<int (*)()>(reinterpret_cast<void *>(GetProcAddress(plugin, "PluginBind")));
  if (registration.status() != S_OK || bind == nullptr || bind() != 1) {
    std::puts("could not bind");
    return 3;
  }
  fake::audio().hook = holdMoves;
  fake::audio().switchDefault(1);
  if (WaitForSingleObject(moveEntered, 10000) != WAIT_OBJECT_0) {
    std::puts("no move started");
    return 4;
  }
  std::puts("exiting with a move stuck");
  std::fflush(stdout);
  ExitProcess(0);
}
