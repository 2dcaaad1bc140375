// Restarting the Windows Audio service (Audiosrv) through the service
// control manager, as an administrator can.
#pragma once

#include <windows.h>

namespace volumectl {

enum class RestartResult { Restarted, NoService, NoRight, Failed };

struct Restart {
  RestartResult result = RestartResult::Failed;
  // The call that did not succeed, and its error.
  const char *call = "";
  DWORD error = 0;
  // On the check's clock (nowMs): when the stop was asked for, and when the
  // service was seen running again.
  double stopAtMs = 0;
  double backAtMs = 0;
};

// Stops the service, waits for it to stop, starts it and waits for it to
// run. Once stopped it is always started again: no interruption may leave
// the machine without sound.
Restart restartAudioService();

} // namespace volumectl
