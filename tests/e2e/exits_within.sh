#!/usr/bin/env bash
# Runs a program and fails unless it ends within the given seconds of
# printing "exiting": exits_within.sh <seconds> <command...>
set -uo pipefail
limit=$1
shift
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$@" >"$output" 2>&1 &
program=$!
until grep -q exiting "$output"; do
  if ! kill -0 "$program" 2>/dev/null; then
    # It may have said so and ended since the look above.
    grep -q exiting "$output" && break
    cat "$output"
    wait "$program"
    exit 1
  fi
  sleep 0.05
done
start=$(date +%s%N)
for ((i = 0; i < limit * 20; i++)); do
  if ! kill -0 "$program" 2>/dev/null; then
    wait "$program"
    status=$?
    cat "$output"
    echo "ended $(((($(date +%s%N) - start)) / 1000000)) ms after saying it was exiting, status $status"
    exit "$status"
  fi
  sleep 0.05
done
cat "$output"
echo "still running ${limit} s after saying it was exiting" >&2
kill -9 "$program"
exit 1
