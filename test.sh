#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the checks of both DLLs.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages

for preset in native x86 x64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j 2
done
