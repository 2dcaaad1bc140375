// volumectl: reads and changes the default playback device's volume and
// mute through Quorvel.dll, and watches for changes.
//
//   volumectl get
//   volumectl set PERCENT
//   volumectl mute on|off|toggle
//   volumectl watch [SECONDS]
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorvel.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int usage() {
  std::fputs("usage: volumectl get\n"
             "       volumectl set PERCENT        (0..100; other values are clamped)\n"
             "       volumectl mute on|off|toggle\n"
             "       volumectl watch [SECONDS]    (until Ctrl+C when no SECONDS)\n",
             stderr);
  return kExitUsage;
}

// Parses a whole decimal integer; strtoll saturates values beyond its range.
bool parseInteger(const char *text, long long *out) {
  char *end = nullptr;
  *out = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

void printState() {
  int percent = -1;
  VolumeGet(&percent);
  std::printf("volume %d%%, mute %s\n", percent, MuteGet() != 0 ? "on" : "off");
}

int setVolume(const char *argument) {
  long long value = 0;
  if (!parseInteger(argument, &value)) {
    return usage();
  }
  // Anything beyond int is clamped here as the library clamps the rest.
  const int percent = value < INT_MIN ? INT_MIN : (value > INT_MAX ? INT_MAX : int(value));
  const int status = VolumeSet(percent);
  if (status < 0) {
    std::fprintf(stderr, "volumectl: the audio service refused the volume change (status 0x%08X)\n",
                 static_cast<unsigned>(status));
    return kExitFailure;
  }
  printState();
  return 0;
}

int setMute(const char *argument) {
  int wanted;
  if (std::strcmp(argument, "on") == 0) {
    wanted = 1;
  } else if (std::strcmp(argument, "off") == 0) {
    wanted = 0;
  } else if (std::strcmp(argument, "toggle") == 0) {
    wanted = MuteGet() != 0 ? 0 : 1;
  } else {
    return usage();
  }
  MuteSet(wanted);
  // The library reports no status for mute, so read the flag back.
  if (MuteGet() != wanted) {
    std::fputs("volumectl: the audio service refused the mute change\n", stderr);
    return kExitFailure;
  }
  printState();
  return 0;
}

// Changes arrive on the audio service's thread; the callback only queues
// them, and the main thread prints them.
struct Change {
  SYSTEMTIME time;
  int muted;
  int percent;
};
constexpr unsigned kQueueSize = 256;
Change queue[kQueueSize];
std::atomic<unsigned> queueHead{0}; // written by the service thread only
std::atomic<unsigned> dropped{0};
std::atomic<unsigned> queueTail{0}; // written by the main thread only
HANDLE changeEvent = nullptr;
HANDLE stopEvent = nullptr;

int QUORVEL_CALL onChange(int muted, int percent) {
  const unsigned head = queueHead.load(std::memory_order_relaxed);
  if (head - queueTail.load(std::memory_order_acquire) >= kQueueSize) {
    dropped.fetch_add(1, std::memory_order_relaxed);
  } else {
    Change &slot = queue[head % kQueueSize];
    GetLocalTime(&slot.time);
    slot.muted = muted;
    slot.percent = percent;
    queueHead.store(head + 1, std::memory_order_release);
  }
  SetEvent(changeEvent);
  return 0;
}

BOOL WINAPI onConsoleControl(DWORD) {
  SetEvent(stopEvent);
  return TRUE;
}

void printQueued() {
  const unsigned head = queueHead.load(std::memory_order_acquire);
  for (unsigned tail = queueTail.load(); tail != head; queueTail.store(++tail)) {
    const Change &change = queue[tail % kQueueSize];
    std::printf("%04u-%02u-%02u %02u:%02u:%02u.%03u volume %d%%, mute %s\n", change.time.wYear,
                change.time.wMonth, change.time.wDay, change.time.wHour, change.time.wMinute,
                change.time.wSecond, change.time.wMilliseconds, change.percent,
                change.muted != 0 ? "on" : "off");
  }
  const unsigned lost = dropped.exchange(0);
  if (lost != 0) {
    std::printf("(%u changes arrived too fast to show)\n", lost);
  }
  std::fflush(stdout);
}

int watch(int argc, char **argv) {
  long long seconds = -1;
  if (argc > 3 ||
      (argc == 3 && (!parseInteger(argv[2], &seconds) || seconds < 0 || seconds > INT_MAX))) {
    return usage();
  }
  const ULONGLONG deadline = seconds < 0 ? 0 : GetTickCount64() + seconds * 1000ULL;
  std::printf("watching for volume and mute changes%s\n", seconds < 0 ? " (Ctrl+C to stop)" : "");
  printState();
  std::fflush(stdout);
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
  const HANDLE events[2] = {stopEvent, changeEvent};
  for (;;) {
    DWORD wait = INFINITE;
    if (seconds >= 0) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) {
        break;
      }
      wait = static_cast<DWORD>(deadline - now);
    }
    const DWORD which = WaitForMultipleObjects(2, events, FALSE, wait);
    printQueued();
    if (which != WAIT_OBJECT_0 + 1) {
      break;
    }
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    return usage();
  }
  const char *command = argv[1];
  const bool known = std::strcmp(command, "get") == 0 || std::strcmp(command, "set") == 0 ||
                     std::strcmp(command, "mute") == 0 || std::strcmp(command, "watch") == 0;
  const bool takesOne = std::strcmp(command, "set") == 0 || std::strcmp(command, "mute") == 0;
  if (!known || (takesOne && argc != 3) || (std::strcmp(command, "get") == 0 && argc != 2)) {
    return usage();
  }

  changeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const bool watching = std::strcmp(command, "watch") == 0;
  if (InitEndPoint(watching ? &onChange : nullptr) != 1) {
    UninitEndPoint();
    std::fputs("volumectl: no default playback device found\n", stderr);
    return kExitFailure;
  }

  int result;
  if (std::strcmp(command, "get") == 0) {
    printState();
    result = 0;
  } else if (std::strcmp(command, "set") == 0) {
    result = setVolume(argv[2]);
  } else if (std::strcmp(command, "mute") == 0) {
    result = setMute(argv[2]);
  } else {
    result = watch(argc, argv);
  }
  UninitEndPoint();
  return result;
}
