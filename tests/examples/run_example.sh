#!/usr/bin/env bash
# Runs one of the examples under Wine, laid out as a user would lay it out:
# the example, Quorvel.dll and what its runtime needs in one folder.
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
shift 5

need() {
  if [ ! -f "$runtimes/$1/.complete" ]; then
    echo "run_example.sh: $runtimes/$1 is missing; scripts/fetch_example_runtimes.sh fetches it" >&2
    exit 1
  fi
}

# The prefix maps Z: to /, so every Unix path has a Windows name there.
windows_path() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }

stage=$build/examples/$example
mkdir -p "$stage"
exec 9>"$stage.lock"
flock 9 # tests of one example may run side by side; staging is shared
cp "$build/Quorvel.dll" "$stage/"

case $example in
  node)
    need "node-$arch"
    need "node_modules-$arch/koffi"
    cp "$source_dir/examples/node/volume.js" "$here/stand_in_preload.js" \
      "$build/quorvel_stand_in.dll" "$stage/"
    ln -sfn "$runtimes/node_modules-$arch" "$stage/node_modules"
    command=("$runtimes/node-$arch/bin/node.exe")
    [ "${QUORVEL_WINE_AUDIO:-}" = stand_in ] && command+=(--require ./stand_in_preload.js)
    command+=(volume.js "$@")
    ;;
  dotnet)
    need "dotnet-$arch"
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
      "$version" >"$stage/Volume.runtimeconfig.json"
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
status=0
(cd "$stage" && "${wine_run[@]}" "$arch" "${command[@]}" >"$output/out" 2>"$output/err") ||
  status=$?
cat "$output/out"
cat "$output/err" >&2
exit $status
