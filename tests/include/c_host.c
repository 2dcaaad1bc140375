/* A host written in C (C99, pedantic): the public header and the import
 * library must serve it as they serve C++. Prints what it read and exits 0
 * when every call answered as documented. */
#include <stdio.h>

#include "quorvel.h"

static int QUORVEL_CALL on_change(int muted, int percent) {
  (void)muted;
  (void)percent;
  return 0;
}

int main(void) {
  int percent = -1;
  int failures = 0;
  if (InitEndPoint(on_change) != 1) {
    UninitEndPoint();
    fputs("no default playback device found\n", stderr);
    return 1;
  }
  failures += VolumeGet(&percent) != 1;
  failures += percent < 0 || percent > 100;
  failures += MuteSet(1) != 1;
  failures += MuteGet() != 1;
  failures += MuteSet(0) != 1;
  failures += MuteGet() != 0;
  failures += UninitEndPoint() != 1;
  failures += VolumeGet(&percent) != 1;
  printf("volume %d%%, %d failures\n", percent, failures);
  return failures == 0 ? 0 : 1;
}
