#include "check_report.h"

#include <cstdarg>
#include <cstdio>

namespace volumectl {

namespace {

StepResult result(Outcome outcome, const char *format, va_list arguments) {
  StepResult made;
  made.outcome = outcome;
  std::vsnprintf(made.detail, sizeof made.detail, format, arguments);
  return made;
}

const char *label(Outcome outcome) {
  return outcome == Outcome::Ok ? "ok" : (outcome == Outcome::Fail ? "FAIL" : "skip");
}

// A JSON string: quotes, backslashes and control characters escaped; the
// text is UTF-8 already.
void writeString(FILE *file, const char *text) {
  std::fputc('"', file);
  for (const char *c = text; *c != '\0'; ++c) {
    if (*c == '"' || *c == '\\') {
      std::fprintf(file, "\\%c", *c);
    } else if (static_cast<unsigned char>(*c) < 0x20) {
      std::fprintf(file, "\\u%04x", static_cast<unsigned>(*c));
    } else {
      std::fputc(*c, file);
    }
  }
  std::fputc('"', file);
}

void writeMachine(FILE *file, const MachineInfo &machine) {
  std::fprintf(file, "  \"windows\": {\"major\": %lu, \"minor\": %lu, \"build\": %lu},\n",
               machine.major, machine.minor, machine.build);
  if (machine.wine[0] != '\0') {
    std::fputs("  \"wine\": ", file);
    writeString(file, machine.wine);
    std::fputs(",\n", file);
  }
  std::fprintf(file,
               "  \"process\": \"%s\",\n  \"wow64\": %s,\n  \"dll\": {\"path\": ", machine.process,
               machine.wow64 ? "true" : "false");
  writeString(file, machine.dllPath);
  std::fprintf(file, ", \"size\": %llu, \"version\": ", machine.dllSize);
  writeString(file, machine.dllVersion);
  std::fputs("},\n", file);
}

} // namespace

#define VOLUMECTL_RESULT(name, outcome)                                                            \
  StepResult name(const char *format, ...) {                                                       \
    va_list arguments;                                                                             \
    va_start(arguments, format);                                                                   \
    StepResult made = result(outcome, format, arguments);                                          \
    va_end(arguments);                                                                             \
    return made;                                                                                   \
  }
VOLUMECTL_RESULT(ok, Outcome::Ok)
VOLUMECTL_RESULT(fail, Outcome::Fail)
VOLUMECTL_RESULT(skip, Outcome::Skip)
#undef VOLUMECTL_RESULT

void Report::add(const char *step, const StepResult &result, long long ms) {
  entries_.push_back(Entry{step, result, ms});
  std::printf("%-4s %-8s %s\n", label(result.outcome), step, result.detail);
  std::fflush(stdout);
}

int Report::count(Outcome outcome) const {
  int counted = 0;
  for (const Entry &entry : entries_) {
    counted += entry.result.outcome == outcome ? 1 : 0;
  }
  return counted;
}

void Report::printTotals() const {
  std::printf("%d passed, %d failed, %d skipped\n", count(Outcome::Ok), count(Outcome::Fail),
              count(Outcome::Skip));
  std::fflush(stdout);
}

bool Report::writeJson(const char *path, const MachineInfo &machine, int exitCode) const {
  FILE *file = std::fopen(path, "wb");
  if (file == nullptr) {
    return false;
  }
  SYSTEMTIME now;
  GetSystemTime(&now);
  std::fprintf(file, "{\n  \"tool\": \"volumectl check\",\n");
  std::fprintf(file, "  \"time\": \"%04u-%02u-%02uT%02u:%02u:%02uZ\",\n", now.wYear, now.wMonth,
               now.wDay, now.wHour, now.wMinute, now.wSecond);
  writeMachine(file, machine);
  std::fputs("  \"steps\": [", file);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry &entry = entries_[i];
    std::fprintf(file,
                 "%s\n    {\"step\": \"%s\", \"result\": \"%s\", \"detail\": ", i == 0 ? "" : ",",
                 entry.step, label(entry.result.outcome));
    writeString(file, entry.result.detail);
    std::fprintf(file, ", \"ms\": %lld", entry.ms);
    if (entry.result.toldMs >= 0) {
      std::fprintf(file, ", \"told_ms\": %lld", entry.result.toldMs);
    }
    std::fputc('}', file);
  }
  std::fprintf(file, "\n  ],\n  \"passed\": %d,\n  \"failed\": %d,\n  \"skipped\": %d,\n",
               count(Outcome::Ok), count(Outcome::Fail), count(Outcome::Skip));
  std::fprintf(file, "  \"exit_code\": %d\n}\n", exitCode);
  return std::fclose(file) == 0;
}

} // namespace volumectl
