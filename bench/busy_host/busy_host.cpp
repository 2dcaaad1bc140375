// How long a move to a new default takes while the host calls the four
// controls without pause, against the stand-in service, each control call
// spending a set time inside the service (50 µs unless given, about a
// round trip to a real audio service). Prints the wait of each switch,
// from the switch until the old device is let go, and the largest.
//
//   busy_host.exe [microseconds per call] [switches]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "fake_audio.h"
#include "host_module.h"
#include "stand_in_factory.h"

namespace {

std::atomic<DWORD> hostThread{0};
LONGLONG callMicroseconds = 50;

double millisecondsSince(const LARGE_INTEGER &start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The host's control calls spend their time inside the service.
void slowControls(fake::Step step) {
  using fake::Step;
  if (GetCurrentThreadId() == hostThread &&
      (step == Step::SetMute || step == Step::GetMute || step == Step::SetMasterVolumeLevelScalar ||
       step == Step::GetMasterVolumeLevelScalar)) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    while (millisecondsSince(start) * 1000.0 < static_cast<double>(callMicroseconds)) {
    }
  }
}

} // namespace

int main(int argc, char **argv) {
  callMicroseconds = argc > 1 ? std::atoll(argv[1]) : 50;
  const int switches = argc > 2 ? std::atoi(argv[2]) : 6;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  fake::StandInRegistration registration;
  HostModule dll;
  if (FAILED(registration.status()) || !dll.complete() || dll.InitEndPoint(nullptr) != 1) {
    std::fprintf(stderr, "could not bind to the stand-in service\n");
    return 1;
  }
  fake::audio().hook = slowControls;
  std::atomic<bool> stop{false};
  std::thread host([&] {
    hostThread = GetCurrentThreadId();
    for (int i = 0; !stop; ++i) {
      int percent = 0;
      dll.VolumeSet(i % 101);
      dll.VolumeGet(&percent);
      dll.MuteSet(i & 1);
      dll.MuteGet();
    }
  });
  double worst = 0.0;
  for (int i = 0; i < switches; ++i) {
    const int from = i % 2;
    Sleep(50);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    fake::audio().switchDefault(1 - from);
    while (fake::audio().devices[from].references() != 0 && millisecondsSince(start) < 10000.0) {
      Sleep(1);
    }
    const double waited = millisecondsSince(start);
    worst = waited > worst ? waited : worst;
    std::printf("switch %d: %.1f ms%s\n", i + 1, waited,
                fake::audio().devices[from].references() != 0 ? " (not followed)" : "");
  }
  stop = true;
  host.join();
  dll.UninitEndPoint();
  std::printf("%lld us per call, %d switches: largest wait %.1f ms\n", callMicroseconds, switches,
              worst);
  return 0;
}
