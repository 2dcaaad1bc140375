// volumectl: reads and changes the default playback device's volume and
// mute through Quorvel.dll, and watches for changes.
//
//   volumectl get [volume|mute|--json]
//   volumectl set PERCENT|+STEP|-STEP
//   volumectl mute on|off|toggle
//   volumectl watch [--json] [SECONDS]
//   volumectl check [--service] [--interactive] [--json FILE]
//
// Exit codes: 0 done, 1 refused by the audio service (check: a step
// failed), 2 usage, 3 no playback device.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "arguments.h"
#include "check.h"
#include "quorvel.h"

using volumectl::Action;
using volumectl::MuteChange;
using volumectl::Request;

namespace {

int usage() {
  std::fputs("usage: volumectl get [volume|mute|--json]\n"
             "       volumectl set PERCENT|+STEP|-STEP  (kept within 0..100)\n"
             "       volumectl mute on|off|toggle\n"
             "       volumectl watch [--json] [SECONDS]  (until Ctrl+C when no SECONDS)\n"
             "       volumectl check [--service] [--interactive] [--json FILE]\n"
             "exit codes: 0 done, 1 refused by the audio service (check: a step failed), 2 usage,\n"
             "            3 no playback device\n",
             stderr);
  return volumectl::kUsage;
}

// The volume, or -1 if the audio service did not tell it (said on stderr).
int readVolume() {
  int percent = -1;
  VolumeGet(&percent);
  if (percent < 0) {
    std::fputs("volumectl: the audio service did not tell the volume\n", stderr);
  }
  return percent;
}

void printState(bool json) {
  int percent = -1;
  VolumeGet(&percent);
  char line[64];
  volumectl::formatState(line, sizeof line, percent, MuteGet() != 0, json);
  std::puts(line);
}

int refused(const char *what, int status) {
  std::fprintf(stderr, "volumectl: the audio service refused %s (status 0x%08X)\n", what,
               static_cast<unsigned>(status));
  return volumectl::kRefused;
}

int setVolume(const Request &request) {
  int percent = request.value;
  if (request.action == Action::Step) {
    const int current = readVolume();
    if (current < 0) {
      return volumectl::kRefused;
    }
    percent = volumectl::steppedVolume(current, request.value);
  }
  const int status = VolumeSet(percent);
  if (status < 0) {
    return refused("the volume change", status);
  }
  printState(false);
  return volumectl::kDone;
}

int setMute(MuteChange change) {
  const int wanted =
      change == MuteChange::Toggle ? (MuteGet() != 0 ? 0 : 1) : (change == MuteChange::On ? 1 : 0);
  MuteSet(wanted);
  // The library reports no status for mute, so read the flag back.
  if (MuteGet() != wanted) {
    std::fputs("volumectl: the audio service refused the mute change\n", stderr);
    return volumectl::kRefused;
  }
  printState(false);
  return volumectl::kDone;
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

void printQueued(bool json) {
  const unsigned head = queueHead.load(std::memory_order_acquire);
  for (unsigned tail = queueTail.load(); tail != head; queueTail.store(++tail)) {
    const Change &change = queue[tail % kQueueSize];
    char state[64];
    volumectl::formatState(state, sizeof state, change.percent, change.muted != 0, json);
    if (json) {
      std::puts(state);
    } else {
      std::printf("%04u-%02u-%02u %02u:%02u:%02u.%03u %s\n", change.time.wYear, change.time.wMonth,
                  change.time.wDay, change.time.wHour, change.time.wMinute, change.time.wSecond,
                  change.time.wMilliseconds, state);
    }
  }
  // Lines of JSON carry states only; a text reader is told what was lost.
  const unsigned lost = dropped.exchange(0);
  if (lost != 0 && !json) {
    std::printf("(%u changes arrived too fast to show)\n", lost);
  }
  std::fflush(stdout);
}

int watch(const Request &request) {
  const ULONGLONG deadline = request.seconds < 0 ? 0 : GetTickCount64() + request.seconds * 1000ULL;
  if (!request.json) {
    std::printf("watching for volume and mute changes%s\n",
                request.seconds < 0 ? " (Ctrl+C to stop)" : "");
  }
  printState(request.json);
  std::fflush(stdout);
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
  const HANDLE events[2] = {stopEvent, changeEvent};
  for (;;) {
    DWORD wait = INFINITE;
    if (request.seconds >= 0) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) {
        break;
      }
      wait = static_cast<DWORD>(deadline - now);
    }
    const DWORD which = WaitForMultipleObjects(2, events, FALSE, wait);
    printQueued(request.json);
    if (which != WAIT_OBJECT_0 + 1) {
      break;
    }
  }
  return volumectl::kDone;
}

int run(const Request &request) {
  switch (request.action) {
  case Action::Get:
    printState(request.json);
    return volumectl::kDone;
  case Action::GetVolume: {
    const int percent = readVolume();
    if (percent < 0) {
      return volumectl::kRefused;
    }
    std::printf("%d\n", percent);
    return volumectl::kDone;
  }
  case Action::GetMute:
    std::puts(MuteGet() != 0 ? "on" : "off");
    return volumectl::kDone;
  case Action::Set:
  case Action::Step:
    return setVolume(request);
  case Action::Mute:
    return setMute(request.mute);
  case Action::Watch:
    return watch(request);
  case Action::Check:
    break; // binds on its own, in main
  }
  return volumectl::kUsage;
}

} // namespace

int main(int argc, char **argv) {
  Request request;
  if (!volumectl::parseArguments(argc, argv, request)) {
    return usage();
  }
  if (request.action == Action::Check) {
    return volumectl::runCheck(request);
  }
  changeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (InitEndPoint(request.action == Action::Watch ? &onChange : nullptr) != 1) {
    UninitEndPoint();
    std::fputs("volumectl: no default playback device found\n", stderr);
    return volumectl::kNoDevice;
  }
  const int result = run(request);
  UninitEndPoint();
  return result;
}
