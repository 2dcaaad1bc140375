/* The npm package's relay between Quorvel.dll and JavaScript.
 *
 * koffi runs a registered JS function called from another thread on the JS
 * thread, and blocks the calling thread until it has run. Given straight
 * to InitEndPoint, that function would make the audio service's delivery
 * thread, and the pool thread after a move, wait for the JS thread: a
 * setter that waits for its own notification would never return. So the
 * host function here only queues the change under a short lock and wakes
 * the relay's own thread, the only one that calls the JS function, and so
 * the only one that waits for the JS thread.
 *
 * Stopping: RelayStop, on the JS thread, drops the queue and marks the
 * stop; the relay's thread ends after the JS call it may be waiting in,
 * which the JS thread runs once it is back in its event loop. RelayJoin
 * waits for that end, off the JS thread (koffi's .async); only then may
 * the JS side unregister its function. A process that exits with the relay
 * running stops nothing: the thread ends with the process, wherever it
 * waits, and the JS function stays registered until then. */
#define WIN32_LEAN_AND_MEAN
#define QUORVEL_RELAY_BUILDING
#include <windows.h>

#include "relay.h"

/* Changes that wait while the JS thread is busy. Once all slots are taken
 * the last one takes each new change: the order holds, intermediate states
 * merge, and the latest state always arrives. */
enum { kSlots = 64 };

struct Change {
  int muted, percent;
};

static SRWLOCK lock = SRWLOCK_INIT;
static CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
static struct Change queue[kSlots];
static unsigned first, count;
static BOOL running;
static RelayDeliver deliver;
static HANDLE thread;

int __cdecl RelayChange(int muted, int percent) {
  AcquireSRWLockExclusive(&lock);
  if (running) {
    if (count < kSlots) {
      ++count;
    }
    struct Change *slot = &queue[(first + count - 1) % kSlots];
    slot->muted = muted;
    slot->percent = percent;
  }
  ReleaseSRWLockExclusive(&lock);
  WakeConditionVariable(&wake);
  return 0;
}

static DWORD WINAPI relay(LPVOID unused) {
  (void)unused;
  AcquireSRWLockExclusive(&lock);
  for (;;) {
    while (running && count == 0) {
      SleepConditionVariableSRW(&wake, &lock, INFINITE, 0);
    }
    if (!running) {
      break;
    }
    const struct Change change = queue[first];
    first = (first + 1) % kSlots;
    --count;
    ReleaseSRWLockExclusive(&lock);
    deliver(change.muted, change.percent); /* waits for the JS thread */
    AcquireSRWLockExclusive(&lock);
  }
  ReleaseSRWLockExclusive(&lock);
  return 0;
}

int __cdecl RelayStart(RelayDeliver to) {
  if (thread != NULL) {
    return 0;
  }
  /* Quorvel.dll keeps RelayChange, and the thread runs here: the DLL stays
   * loaded until the process ends, whoever frees it. */
  HMODULE self;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     (LPCWSTR)&RelayStart, &self);
  deliver = to;
  AcquireSRWLockExclusive(&lock);
  first = count = 0;
  running = TRUE;
  ReleaseSRWLockExclusive(&lock);
  thread = CreateThread(NULL, 0, relay, NULL, 0, NULL);
  if (thread == NULL) {
    RelayStop();
  }
  return thread != NULL;
}

void __cdecl RelayStop(void) {
  AcquireSRWLockExclusive(&lock);
  running = FALSE;
  count = 0;
  ReleaseSRWLockExclusive(&lock);
  WakeConditionVariable(&wake);
}

void __cdecl RelayJoin(void) {
  if (thread != NULL) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = NULL;
  }
}

/* No C runtime: this is the entry point itself. */
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)self;
  (void)reason;
  (void)reserved;
  return TRUE;
}
