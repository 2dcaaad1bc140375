#!/usr/bin/env bash
# Runs one of the examples under Wine, laid out as a user would lay it out:
# the example, Quorvel.dll (the node example: the quorvel package) and what
# its runtime needs in one folder.
#   run_example.sh <runtimes> <build-dir> <wine-dir> <x86|x64> <node|dotnet> [args...]
# <runtimes> is what scripts/fetch_example_runtimes.sh unpacked, <build-dir>
# holds the built DLLs, <wine-dir> is wine-run.sh's. The audio
# Wine sees comes from QUORVEL_WINE_AUDIO, as for wine-run.sh; "stand_in"
# also preloads the stand-in audio service into the node example.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
runtimes=$(realpath -m "$1") build=$(realpath -m "$2") arch=$4 example=$5
wine_run=("$source_dir/cmake/wine-run.sh" "$3")
# Enabled when 32-bit programs run under qemu (see scripts/packages.sh).
qemu_i386=/proc/sys/fs/binfmt_misc/qemu-i386
shift 5

need() {
  if [ ! -f "$runtimes/$1/.complete" ]; then
    echo "run_example.sh: $runtimes/$1 is missing; scripts/fetch_example_runtimes.sh fetches it" >&2
    exit 1
  fi
}

# The prefix maps Z: to /, so every Unix path has a Windows name there.
windows_path() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }

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
  dotnet)
    need "dotnet-$arch"
    stage_file "$build/Quorvel.dll"
    need dotnet-x64 # its SDK compiles the example for both
    if [ ! "$stage/Volume.dll" -nt "$source_dir/examples/dotnet/Volume.cs" ]; then
      # The SDK's own compiler, against the oldest framework the example
      # runs on, so the one assembly serves both runtimes.
      framework=$runtimes/dotnet-x86/shared/Microsoft.NETCore.App/2.1.8
      need dotnet-x86
      cp "$source_dir/examples/dotnet/Volume.cs" "$stage/"
      {
        echo "-nologo -target:exe -optimize+ -out:Volume.dll"
        for assembly in System.Private.CoreLib System.Runtime System.Runtime.Extensions \
          System.Runtime.InteropServices System.Console System.Threading System.Threading.Thread \
          System.Collections.Concurrent; do
          echo "-reference:\"$(windows_path "$framework/$assembly.dll")\""
        done
        echo "Volume.cs"
      } >"$stage/Volume.rsp"
      # -noconfig is honoured on the command line only.
      (cd "$stage" && "${wine_run[@]}" x64 "$runtimes/dotnet-x64/dotnet.exe" \
        "$(windows_path "$runtimes/dotnet-x64/sdk/2.2.104/Roslyn/bincore/csc.dll")" \
        -noconfig -nostdlib @Volume.rsp) >&2
    fi
    version=$(basename "$(ls -d "$runtimes/dotnet-$arch/shared/Microsoft.NETCore.App/"*/ | head -n 1)")
    printf '{"runtimeOptions":{"framework":{"name":"Microsoft.NETCore.App","version":"%s"}}}\n' \
      "$version" >"$stage/config.$$"
    stage_file "$stage/config.$$" Volume.runtimeconfig.json
    rm -f "$stage/config.$$"
    command=("$runtimes/dotnet-$arch/dotnet.exe" Volume.dll "$@")
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

# The x86 .NET runtime cannot start where the 32-bit Wine runs under qemu:
# Wine's fault handler finds no trap number in qemu's signal frames. Only
# that exact failure skips the test, checked by a start that prints usage.
if [ "$example" = dotnet ] && [ "$arch" = x86 ] && grep -qsx enabled "$qemu_i386" &&
  ! run "${command[0]}" Volume.dll && cat "$output"/* | grep -q "Failed to initialize CoreCLR"; then
  echo "SKIPPED: the x86 .NET runtime cannot start under qemu-user (Failed to initialize" \
    "CoreCLR: qemu's signal frames carry no trap number for Wine)" >&2
  exit 1
fi

status=0
run "${command[@]}" || status=$?
cat "$output/out"
cat "$output/err" >&2
exit $status
