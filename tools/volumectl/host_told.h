// The check's host function: it notes each telling with the time it
// arrived, on whatever thread the library calls it, and the check waits
// for the telling it expects.
#pragma once

#include <windows.h>

#include <functional>

#include "quorvel.h"

namespace volumectl {

struct Told {
  int muted;
  int percent;
  double atMs; // on nowMs's clock
};

// Milliseconds on a steady clock finer than the system tick.
double nowMs();

int QUORVEL_CALL noteTold(int muted, int percent);

// Forgets the tellings so far.
void forgetTold();

// Waits until a telling since the last forgetTold matches (the first one
// that does goes to found), the deadline on nowMs's clock passes, or stop
// is set.
bool waitForTold(double deadlineMs, HANDLE stop, const std::function<bool(const Told &)> &match,
                 Told &found);

} // namespace volumectl
