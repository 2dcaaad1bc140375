#!/usr/bin/env bash
# Runs a script with the Windows Node.js of one architecture under Wine, in
# the folder the package was installed in:
#   run_node.sh <runtimes> <wine-dir> <x86|x64> <folder> <script> [args...]
# Under Wine, Node.js cannot write to a pipe, so its output goes through
# files and is passed on when it has ended.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$(realpath "$here/../../../cmake/wine-run.sh")
runtimes=$(realpath -m "$1") wine_dir=$(realpath -m "$2") arch=$3 app=$4
shift 4
if [ ! -f "$runtimes/node-$arch/.complete" ]; then
  echo "run_node.sh: $runtimes/node-$arch is missing; scripts/fetch_example_runtimes.sh fetches it" >&2
  exit 1
fi
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
status=0
(cd "$app" && "$wine_run" "$wine_dir" "$arch" "$runtimes/node-$arch/bin/node.exe" "$@" \
  >"$output/out" 2>"$output/err") || status=$?
cat "$output/out"
cat "$output/err" >&2
# A crash of another thread while the process ends leaves its exit code as
# it was; Wine says so on stderr.
if grep -q "^wine: Unhandled" "$output/err"; then
  echo "run_node.sh: a thread crashed" >&2
  exit 125
fi
exit $status
