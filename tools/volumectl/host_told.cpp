#include "host_told.h"

namespace volumectl {

namespace {

// More than any step waits for; later tellings are dropped.
constexpr int kKept = 64;
SRWLOCK lock = SRWLOCK_INIT;
Told kept[kKept];
int keptCount = 0;
const HANDLE toldEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);

} // namespace

double nowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Called by the library on the audio service's threads: it only notes.
int QUORVEL_CALL noteTold(int muted, int percent) {
  const double at = nowMs();
  AcquireSRWLockExclusive(&lock);
  if (keptCount < kKept) {
    kept[keptCount++] = Told{muted, percent, at};
  }
  ReleaseSRWLockExclusive(&lock);
  SetEvent(toldEvent);
  return 0;
}

void forgetTold() {
  AcquireSRWLockExclusive(&lock);
  keptCount = 0;
  ReleaseSRWLockExclusive(&lock);
}

bool waitForTold(double deadlineMs, HANDLE stop, const std::function<bool(const Told &)> &match,
                 Told &found) {
  for (;;) {
    bool matched = false;
    AcquireSRWLockShared(&lock);
    for (int i = 0; i < keptCount && !matched; ++i) {
      if (match(kept[i])) {
        found = kept[i];
        matched = true;
      }
    }
    ReleaseSRWLockShared(&lock);
    const double left = deadlineMs - nowMs();
    if (matched || left <= 0) {
      return matched;
    }
    const HANDLE events[] = {toldEvent, stop};
    if (WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(left) + 1) ==
        WAIT_OBJECT_0 + 1) {
      return false;
    }
  }
}

} // namespace volumectl
