#!/usr/bin/env bash
# Runs the node example under Wine, laid out as a user would lay it out:
# the example and the quorvel package installed beside it. (The .NET
# example is built against its package and run by tests/dotnet/dotnet_app.sh.)
#   run_example.sh <runtimes> <build-dir> <wine-dir> <x86|x64> node [args...]
# <runtimes> is what scripts/fetch_example_runtimes.sh unpacked, <build-dir>
# holds the built DLLs, <wine-dir> is wine-run.sh's. The audio
# Wine sees comes from QUORVEL_WINE_AUDIO, as for wine-run.sh; "stand_in"
# also preloads the stand-in audio service into the node example.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
runtimes=$(realpath -m "$1") build=$(realpath -m "$2") arch=$4 example=$5
wine_run=("$source_dir/cmake/wine-run.sh" "$3")
shift 5

need() {
  if [ ! -f "$runtimes/$1/.complete" ]; then
    echo "run_example.sh: $runtimes/$1 is missing; scripts/fetch_example_runtimes.sh fetches it" >&2
    exit 1
  fi
}

# Tests of one example run side by side and share the staging folder: the
# lock keeps two stagings apart, and a file another test's Wine may have
# mapped is never written in place (that truncates it under the running
# process) but replaced by a rename, and only when it differs.
stage_file() { # stage_file <file> [name in the stage]
  local target=$stage/${2:-$(basename "$1")}
  cmp -s "$1" "$target" && return 0
  cp "$1" "$target.$$" && mv -f "$target.$$" "$target"
}

stage=$build/examples/$example
mkdir -p "$stage"
exec 9>"$stage.lock"
flock 9

case $example in
  node)
    need "node-$arch"
    # The package as installed from its tarball by the node_package_install
    # test, with koffi beside it.
    if [ ! -f "$build/node-app/node_modules/quorvel/package.json" ]; then
      echo "run_example.sh: the quorvel package is not installed in $build/node-app" >&2
      exit 1
    fi
    for file in "$source_dir/examples/node/volume.js" "$here/stand_in_preload.js" \
      "$build/quorvel_stand_in.dll"; do
      stage_file "$file"
    done
    [ "$(readlink "$stage/node_modules")" = "$build/node-app/node_modules" ] ||
      ln -sfn "$build/node-app/node_modules" "$stage/node_modules"
    command=("$runtimes/node-$arch/bin/node.exe")
    [ "${QUORVEL_WINE_AUDIO:-}" = stand_in ] && command+=(--require ./stand_in_preload.js)
    command+=(volume.js "$@")
    ;;
  *)
    echo "run_example.sh: unknown example '$example'" >&2
    exit 2
    ;;
esac
exec 9>&-

# Under Wine, Node.js cannot open a pipe as process.stdout or stderr (EBADF),
# which some modules touch as they load, so the output goes through files.
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
run() { (cd "$stage" && "${wine_run[@]}" "$arch" "$@" >"$output/out" 2>"$output/err"); }

status=0
run "${command[@]}" || status=$?
cat "$output/out"
cat "$output/err" >&2
exit $status
