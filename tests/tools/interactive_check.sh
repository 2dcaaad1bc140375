#!/usr/bin/env bash
# Runs `volumectl check --interactive` under Wine with two outputs and plays
# the person at the machine: nothing at the first prompt, then, a few
# seconds into the second, a switch of the default output, written into
# the registry as the system's settings write it (as in
# tests/e2e/wine_default_switch_test.cpp).
#   interactive_check.sh <wine-dir> <x86|x64> <volumectl.exe>
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
wine_dir=$(realpath -m "$1") arch=$2 program=$3
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT

QUORVEL_WINE_AUDIO=two "$source_dir/cmake/wine-run.sh" "$wine_dir" "$arch" "$program" \
  check --interactive >"$output/out" 2>"$output/err" &
check=$!
# The prefix wine-run.sh gives "two".
export WINEPREFIX=$wine_dir/prefix-two HOME=$wine_dir/home-two WINEDEBUG=-all
reg() { /usr/lib/wine/wine64 reg "$@" 2>/dev/null; }
drivers='HKCU\Software\Wine\Drivers\winealsa.drv'
until grep -q 'switch the default output' "$output/out" || ! kill -0 $check 2>/dev/null; do
  sleep 1
done
if kill -0 $check 2>/dev/null; then
  sleep 3
  # The endpoint id of the output named "second".
  second=$(reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio\Render' /s |
    tr -d '\r' | awk '/^HKEY/ { key = $0 } /Out: second/ { found = key } END { print found }' |
    grep -o '{[0-9A-F-]*}' || true)
  reg add "$drivers" /v DefaultOutput /d "{0.0.0.00000000}.$second" /f >/dev/null
  # Wine looks at the key only while it waits for a change: a new value of
  # a key of its own wakes it until the check has seen the switch.
  nudge=0
  while kill -0 $check 2>/dev/null && ! grep -Eq '^(ok|FAIL|skip) +switch' "$output/out"; do
    nudge=$((nudge + 1))
    reg add "$drivers" /v QuorvelTestNudge /t REG_DWORD /d $nudge /f >/dev/null
    sleep 0.5
  done
fi
status=0
wait $check || status=$?
# Put back; the other test that switches this prefix's default never runs
# beside this one (RESOURCE_LOCK wine_prefix_two).
reg delete "$drivers" /v DefaultOutput /f >/dev/null || true
reg delete "$drivers" /v QuorvelTestNudge /f >/dev/null || true
cat "$output/out"
cat "$output/err" >&2
exit $status
