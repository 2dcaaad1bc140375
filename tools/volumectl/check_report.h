// The check's findings: one line per step as it ends, the closing count,
// and the same findings as one JSON document to attach to a bug report.
#pragma once

#include <vector>

#include "machine_info.h"

namespace volumectl {

enum class Outcome { Ok, Fail, Skip };

struct StepResult {
  Outcome outcome = Outcome::Ok;
  char detail[256] = "";
  // How long the host took to be told, for the steps that wait for it.
  long long toldMs = -1;
};

#define VOLUMECTL_PRINTF(format_index)                                                             \
  __attribute__((format(gnu_printf, format_index, format_index + 1)))
StepResult ok(const char *format, ...) VOLUMECTL_PRINTF(1);
StepResult fail(const char *format, ...) VOLUMECTL_PRINTF(1);
StepResult skip(const char *format, ...) VOLUMECTL_PRINTF(1);
#undef VOLUMECTL_PRINTF

class Report {
public:
  // Prints the step's line at once, so that the person at the machine sees
  // the check go on.
  void add(const char *step, const StepResult &result, long long ms);
  // "N passed, N failed, N skipped".
  void printTotals() const;
  bool anyFailed() const { return count(Outcome::Fail) > 0; }
  // False if the file could not be written.
  bool writeJson(const char *path, const MachineInfo &machine, int exitCode) const;

private:
  struct Entry {
    const char *step;
    StepResult result;
    long long ms;
  };
  int count(Outcome outcome) const;
  std::vector<Entry> entries_;
};

} // namespace volumectl
