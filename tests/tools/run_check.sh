#!/usr/bin/env bash
# Runs `volumectl check` under Wine (cmake/wine-run.sh, with the audio that
# QUORVEL_WINE_AUDIO names) with a JSON report, then prints the report's
# results as Python reads them back and, where QUORVEL_STAND_IN_START
# ("percent muted") set the stand-in service's device, its state when the
# process ended.
#   run_check.sh <wine-dir> <x86|x64> <volumectl.exe> [check options...]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
wine_dir=$1 arch=$2 program=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows_path() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
if [ -n "${QUORVEL_STAND_IN_START:-}" ]; then
  echo "$QUORVEL_STAND_IN_START" >"$work/state"
  QUORVEL_STAND_IN_STATE=$(windows_path "$work/state")
  export QUORVEL_STAND_IN_STATE
fi
status=0
"$source_dir/cmake/wine-run.sh" "$wine_dir" "$arch" "$program" check "$@" \
  --json "$(windows_path "$work/report.json")" || status=$?
[ $status -eq 77 ] && exit 77
python3 -c 'import json, sys
report = json.load(open(sys.argv[1]))
print("report:", " ".join(step["result"] for step in report["steps"]) + ", exit", report["exit_code"])
' "$work/report.json"
if [ -n "${QUORVEL_STAND_IN_START:-}" ]; then
  echo "stand-in device at exit: $(cat "$work/state")"
fi
exit $status
