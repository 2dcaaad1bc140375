#include "check.h"

#include <windows.h>

#include <cstdio>

#include "check_steps.h"
#include "host_told.h"
#include "machine_info.h"
#include "quorvel.h"

namespace volumectl {

namespace {

// How long a Ctrl+C or a closed console waits for the restore: past its
// return the system may end the process.
constexpr DWORD kRestoreWaitMs = 10000;

HANDLE stopEvent = nullptr;
HANDLE finishedEvent = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
  SetEvent(stopEvent);
  WaitForSingleObject(finishedEvent, kRestoreWaitMs);
  return TRUE;
}

bool interrupted() { return WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0; }

enum class Needs { Nothing, Binding, FoundState };

struct Step {
  const char *name;
  StepResult (*run)(CheckState &);
  Needs needs;
  bool wanted;
};

void printHeader(const MachineInfo &machine) {
  std::printf("volumectl check: Quorvel.dll %s, %llu bytes, at %s\n",
              machine.dllVersion[0] != '\0' ? machine.dllVersion : "(no version)", machine.dllSize,
              machine.dllPath);
  std::printf("%s process on Windows %lu.%lu.%lu%s%s%s\n", machine.process, machine.major,
              machine.minor, machine.build, machine.wow64 ? " (WOW64)" : "",
              machine.wine[0] != '\0' ? ", Wine " : "", machine.wine);
  std::fflush(stdout);
}

// Why a wanted step does not run, or null if it does.
const char *reasonToSkip(const Step &step, const CheckState &state) {
  if (interrupted()) {
    return "interrupted by Ctrl+C";
  }
  if (step.needs != Needs::Nothing && !state.bound) {
    return "not bound";
  }
  if (step.needs == Needs::FoundState && !state.found) {
    return "the volume could not be read at the start, so it is left alone";
  }
  return nullptr;
}

void runStep(const char *name, StepResult (*run)(CheckState &), CheckState &state, Report &report) {
  const double start = nowMs();
  StepResult result = run(state);
  // A step cut short has not shown what it was to show.
  if (interrupted() && run != restoreStep) {
    result = fail("interrupted by Ctrl+C");
  }
  report.add(name, result, static_cast<long long>(nowMs() - start));
}

} // namespace

int runCheck(const Request &request) {
  stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  finishedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // The check's own objects live in this apartment; the library's
  // initialisation on this thread then only adds to the count.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const MachineInfo machine = describeMachine();
  printHeader(machine);
  SetConsoleCtrlHandler(onConsoleControl, TRUE);

  CheckState state;
  state.stop = stopEvent;
  const Step steps[] = {
      {"bind", bindStep, Needs::Nothing, true},
      {"read", readStep, Needs::Binding, true},
      {"volume", volumeStep, Needs::FoundState, true},
      {"mute", muteStep, Needs::FoundState, true},
      {"outside", outsideStep, Needs::FoundState, true},
      {"binds", bindsStep, Needs::Binding, true},
      {"service", serviceStep, Needs::FoundState, request.service},
      {"by-hand", byHandStep, Needs::Binding, request.interactive},
      {"switch", switchStep, Needs::Binding, request.interactive},
  };
  Report report;
  for (const Step &step : steps) {
    if (!step.wanted) {
      continue;
    }
    if (const char *reason = reasonToSkip(step, state)) {
      report.add(step.name, skip("%s", reason), 0);
    } else {
      runStep(step.name, step.run, state, report);
    }
  }
  // Also after a failure or a Ctrl+C.
  runStep("restore", restoreStep, state, report);
  if (state.bound) {
    UninitEndPoint();
  }
  report.printTotals();

  int exitCode = state.noDevice ? kNoDevice : (report.anyFailed() ? kStepFailed : kDone);
  if (request.reportPath != nullptr && !report.writeJson(request.reportPath, machine, exitCode)) {
    std::fprintf(stderr, "volumectl: could not write the report to %s\n", request.reportPath);
    exitCode = exitCode == kDone ? kStepFailed : exitCode;
  }
  SetEvent(finishedEvent);
  CoUninitialize();
  return exitCode;
}

} // namespace volumectl
