// What volumectl is asked to do, read from its command line, and how it
// shows the device's state: no Windows calls here, so this part is
// unit-tested natively.
#pragma once

#include <cstddef>

namespace volumectl {

// Exit codes, for scripts. A failed step of the check shares 1 with a
// refusal.
enum ExitCode { kDone = 0, kRefused = 1, kStepFailed = 1, kUsage = 2, kNoDevice = 3 };

enum class Action { Get, GetVolume, GetMute, Set, Step, Mute, Watch, Check };
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
  // Check: restart the audio service, ask the person at the machine, and
  // write the JSON report to this file (null: none).
  bool service = false;
  bool interactive = false;
  const char *reportPath = nullptr;
};

// False for anything the usage text should answer.
bool parseArguments(int argc, const char *const *argv, Request &request);

// The current volume moved by step, kept within 0..100.
int steppedVolume(int current, int step);

// "volume 42%, mute off", or {"volume":42,"muted":false} for JSON.
void formatState(char *buffer, std::size_t size, int percent, bool muted, bool json);

} // namespace volumectl
