#!/usr/bin/env bash
# Reads one ctest run back: ctest_outcomes.sh <ctest-output> <LastTest.log>
# Prints "passed failed skipped", then one line per skipped test:
# "name: reason", the reason being the first SKIPPED line of its output.
set -euo pipefail
output=$1 log=$2

total=0 failed=0
if line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$output"); then
  read -r failed total <<<"$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1 \2/' <<<"$line")"
fi
mapfile -t skipped < <(sed -nE 's/^\s+[0-9]+ - (.+) \(Skipped\)$/\1/p' "$output")
# CTest counts skipped tests among the passed ones.
echo "$((total - failed - ${#skipped[@]})) $failed ${#skipped[@]}"
for name in "${skipped[@]}"; do
  reason=$(awk -v name="$name" '
    $0 ~ "^[0-9]+/[0-9]+ Testing: " { inside = ($3 == name) }
    inside && /^Output:$/ { output = 1 }
    /^<end of output>$/ { output = 0 }
    inside && output && /SKIPPED/ { sub(/.*SKIPPED:? */, ""); print; exit }' "$log")
  echo "$name: ${reason:-no reason given}"
done
