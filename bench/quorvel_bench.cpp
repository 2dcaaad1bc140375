// Cost of each exported function and of notification forwarding, against
// the same platform call made directly, on a platform that does no work.
// Prints a Markdown table of the ratios and of the library's heap
// allocations; --table=FILE also writes it to FILE.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "alloc_counter.h"
#include "paths.h"

namespace {

void runPath(benchmark::State &state, void (*operation)(int), bool bound) {
  if (bound) {
    bench::bind();
  }
  int i = 0;
  for (auto _ : state) {
    operation(i++);
  }
  if (bound) {
    bench::unbind();
  }
}

// Keeps each run's time per iteration for the table.
class TableReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char **argv) {
  const char *tablePath = nullptr;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--table=", 8) == 0) {
      tablePath = argv[i] + 8;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  for (int p = 0; p < bench::kPathCount; ++p) {
    const bench::Path &path = bench::kPaths[p];
    // Binding is itself measured by its own path; the controls run bound.
    const bool bound = p != 0;
    benchmark::RegisterBenchmark(path.name, runPath, path.library, bound);
    benchmark::RegisterBenchmark((std::string(path.name) + "/direct").c_str(), runPath, path.direct,
                                 false);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const long before = bench::allocationCount();
  bench::runEveryLibraryPath();
  const long allocations = bench::allocationCount() - before;

  std::string table = "| path | library ns | direct ns | ratio |\n|---|---:|---:|---:|\n";
  for (int p = 0; p < bench::kPathCount; ++p) {
    const std::string name = bench::kPaths[p].name;
    const auto library = reporter.nanoseconds.find(name);
    const auto direct = reporter.nanoseconds.find(name + "/direct");
    if (library == reporter.nanoseconds.end() || direct == reporter.nanoseconds.end()) {
      continue;
    }
    char row[160];
    std::snprintf(row, sizeof row, "| %s | %.2f | %.2f | %.2fx |\n", name.c_str(), library->second,
                  direct->second, library->second / direct->second);
    table += row;
  }
  table += "\nHeap allocations by the library on every path: " + std::to_string(allocations) + "\n";
  std::fputs(table.c_str(), stdout);
  if (tablePath != nullptr) {
    if (FILE *file = std::fopen(tablePath, "w")) {
      std::fputs(table.c_str(), file);
      std::fclose(file);
    }
  }
  return allocations == 0 ? 0 : 1;
}
