// `volumectl check`: the default playback device checked through
// Quorvel.dll step by step, one line per step, the state found put back
// at the end.
#pragma once

#include "arguments.h"

namespace volumectl {

// The exit code: kDone if no step failed, kStepFailed if one did (or the
// report could not be written), kNoDevice without a playback device.
int runCheck(const Request &request);

} // namespace volumectl
