// Binding and letting go many times in a row: each succeeds, and what a
// binding opens is all closed again.
#include <cstdio>

#include "check_steps.h"
#include "host_told.h"
#include "process_counts.h"
#include "quorvel.h"

namespace volumectl {

namespace {

constexpr int kBindCycles = 200;
// Threads of the system's pool and of the audio client end a while after
// their last work, not at once: the counts may take this long to come back.
constexpr double kSettleMs = 10000;
constexpr DWORD kSampleMs = 100;

bool atMost(const ProcessCounts &now, const ProcessCounts &limit) {
  return now.handles <= limit.handles && now.threads <= limit.threads;
}

// The counts once they are back to the limit, or as they are when the
// settling time is up.
ProcessCounts settledCounts(const ProcessCounts &limit, HANDLE stop, double &waitedMs) {
  const double start = nowMs();
  ProcessCounts now = countProcess();
  while (!atMost(now, limit) && nowMs() - start < kSettleMs &&
         WaitForSingleObject(stop, kSampleMs) == WAIT_TIMEOUT) {
    now = countProcess();
  }
  waitedMs = nowMs() - start;
  return now;
}

bool bindAndLetGo() {
  const bool bound = InitEndPoint(&noteTold) == 1;
  UninitEndPoint();
  return bound;
}

} // namespace

StepResult bindsStep(CheckState &state) {
  // The check's own binding is let go first. The first bind and let go
  // starts what lives on for the rest of the process (COM, the audio
  // client's own threads), so the counts are taken after it.
  UninitEndPoint();
  int cycle = 1;
  bool allBound = bindAndLetGo();
  const ProcessCounts before = countProcess();
  while (allBound && cycle < kBindCycles) {
    ++cycle;
    allBound = bindAndLetGo();
  }
  double waitedMs = 0;
  const ProcessCounts after = settledCounts(before, state.stop, waitedMs);
  state.bound = InitEndPoint(&noteTold) == 1;
  if (!state.bound) {
    UninitEndPoint();
    return fail("%d binds ended, but the check could not bind again", cycle);
  }
  if (!allBound) {
    return fail("bind %d of %d failed", cycle, kBindCycles);
  }
  // Where the count reads 0 (Wine), handles go uncounted rather than pass.
  char handles[64] = "handles not counted here (the count reads 0)";
  if (before.handles != 0) {
    std::snprintf(handles, sizeof handles, "handles %lu -> %lu", before.handles, after.handles);
  }
  if (!atMost(after, before)) {
    return fail("threads %lu -> %lu, %s, %.1f s after the last let go", before.threads,
                after.threads, handles, waitedMs / 1000);
  }
  return ok("%d binds and lets go; threads %lu -> %lu, %s, %.1f s after the last let go",
            kBindCycles, before.threads, after.threads, handles, waitedMs / 1000);
}

} // namespace volumectl
