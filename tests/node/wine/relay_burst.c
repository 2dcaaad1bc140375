/* The relay alone, its consumer stalled: a burst never waits, keeps its
 * order and ends with the last state; stopping returns while the consumer
 * is stalled, and drops what is queued. Change n is (n % 2, n / 2). */
#include <stdio.h>
#include <windows.h>

#include "relay.h"

enum { kBurst = 200 };
static HANDLE resume; /* auto-reset: ends one stall */
static int seen[kBurst + 2];
static volatile LONG count;

static int __cdecl consume(int muted, int percent) {
  seen[count] = percent * 2 + muted;
  InterlockedIncrement(&count);
  if (seen[count - 1] % kBurst == 0) { /* stalls in changes 0 and kBurst */
    WaitForSingleObject(resume, 10000);
  }
  return 0;
}

static void change(int n) { RelayChange(n % 2, n / 2); }

static void untilSeen(int n) {
  for (int i = 0; (count == 0 || seen[count - 1] != n) && i < 1000; ++i) {
    Sleep(10);
  }
}

int main(void) {
  resume = CreateEventW(NULL, FALSE, FALSE, NULL);
  RelayStart(consume);
  change(0);
  untilSeen(0);
  ULONGLONG start = GetTickCount64();
  for (int n = 1; n < kBurst; ++n) {
    change(n);
  }
  const ULONGLONG burst = GetTickCount64() - start;
  SetEvent(resume);
  untilSeen(kBurst - 1);
  const LONG delivered = count;
  change(kBurst);
  untilSeen(kBurst);
  change(kBurst + 1);
  start = GetTickCount64();
  RelayStop();
  const ULONGLONG stop = GetTickCount64() - start;
  SetEvent(resume);
  RelayJoin();
  int ordered = seen[0] == 0;
  for (int i = 1; i < count; ++i) {
    ordered &= seen[i] > seen[i - 1];
  }
  printf("burst %d ms, %ld delivered, ordered %d, last %d; stop %d ms, %ld after\n", (int)burst,
         delivered, ordered, seen[delivered - 1], (int)stop, count - delivered - 1);
  return !(burst < 1000 && ordered && delivered < kBurst && seen[delivered - 1] == kBurst - 1 &&
           stop < 1000 && count == delivered + 1);
}
