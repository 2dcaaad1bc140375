// Runs one path a given number of times, for valgrind --tool=callgrind:
//   instruction_count PATH library|direct ITERATIONS
// Two runs with different ITERATIONS give the instructions of one call.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "paths.h"

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fputs("usage: instruction_count PATH library|direct ITERATIONS\n", stderr);
    return 2;
  }
  const bool library = std::strcmp(argv[2], "library") == 0;
  const int iterations = std::atoi(argv[3]);
  for (int p = 0; p < bench::kPathCount; ++p) {
    const bench::Path &path = bench::kPaths[p];
    if (std::strcmp(path.name, argv[1]) != 0) {
      continue;
    }
    if (p != 0) {
      bench::bind();
    }
    void (*operation)(int) = library ? path.library : path.direct;
    for (int i = 0; i < iterations; ++i) {
      operation(i);
    }
    if (p != 0) {
      bench::unbind();
    }
    return 0;
  }
  std::fprintf(stderr, "unknown path %s\n", argv[1]);
  return 2;
}
