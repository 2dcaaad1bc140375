// The steps of `volumectl check`, each on the default playback device
// through Quorvel.dll, and what they share.
#pragma once

#include <windows.h>

#include "check_report.h"

namespace volumectl {

// A change must reach the host within this.
constexpr double kToldWithinMs = 1000;

struct CheckState {
  // Set on Ctrl+C: waits end early.
  HANDLE stop = nullptr;
  bool bound = false;
  bool noDevice = false;
  // The state found at the start, which the restore puts back.
  bool found = false;
  int foundPercent = 0;
  bool foundMuted = false;
};

StepResult bindStep(CheckState &state);
StepResult readStep(CheckState &state);
StepResult volumeStep(CheckState &state);
StepResult muteStep(CheckState &state);
StepResult outsideStep(CheckState &state);
StepResult bindsStep(CheckState &state);
StepResult serviceStep(CheckState &state);
StepResult byHandStep(CheckState &state);
StepResult switchStep(CheckState &state);
StepResult restoreStep(CheckState &state);

// A volume the distance away from percent, within 0..100, so that every
// change is one and the restore has something to put back.
int awayFrom(int percent, int distance);
// Within a hardware volume step of each other.
bool closeEnough(int a, int b);
const char *onOff(int muted);
// Sets the volume through the library, reads it back, and waits for the
// host to be told of it.
StepResult setReadAndHear(CheckState &state, int percent);

} // namespace volumectl
