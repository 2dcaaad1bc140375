// What volumectl is asked to do, read from its command line, and how it
// shows the device's state: no Windows calls here, so this part is
// unit-tested natively.
#pragma once

#include <cstddef>

namespace volumectl {

// Exit codes, for scripts.
enum ExitCode { kDone = 0, kRefused = 1, kUsage = 2, kNoDevice = 3 };

enum class Action { Get, GetVolume, GetMute, Set, Step, Mute, Watch };
enum class MuteChange { On, Off, Toggle };

struct Request {
  Action action = Action::Get;
  // Set: the percent (the library clamps it); Step: the step, signed.
  int value = 0;
  MuteChange mute = MuteChange::On;
  // Get and Watch: one JSON object per line instead of text.
  bool json = false;
  // Watch: how long, or -1 for until Ctrl+C.
  long long seconds = -1;
};

// False for anything the usage text should answer.
bool parseArguments(int argc, const char *const *argv, Request &request);

// The current volume moved by step, kept within 0..100.
int steppedVolume(int current, int step);

// "volume 42%, mute off", or {"volume":42,"muted":false} for JSON.
void formatState(char *buffer, std::size_t size, int percent, bool muted, bool json);

} // namespace volumectl
