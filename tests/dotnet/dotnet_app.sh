#!/usr/bin/env bash
# .NET programs on the Quorvel package as a developer installs it: from the
# build's folder feed by PackageReference, built by the x64 SDK under Wine.
#   dotnet_app.sh install <runtimes> <wine-dir> <feed> <project> <app> [<x64 file> <x86 file>]
#     builds for netcoreapp2.2 (the newest the SDK restores offline) into
#     <app>/x64 and <app>/x86, each with the given file of its architecture
#   dotnet_app.sh run <runtimes> <wine-dir> <app> <x86|x64> <assembly> [args...]
#     x64 on the 2.2 runtime, x86 with `dotnet exec --fx-version 2.1.8`
#   dotnet_app.sh dotnet-run <runtimes> <wine-dir> <app> [args...]
#     `dotnet run --no-build` in <app>, on x64
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
mode=$1 runtimes=$(realpath -m "$2") wine_dir=$(realpath -m "$3")
shift 3
windows_path() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
sdk() { "$source_dir/scripts/dotnet.sh" "$runtimes" "$wine_dir" "$@"; }

case $mode in
  install)
    feed=$1 project=$2 app=$3
    rm -rf "$app" && mkdir -p "$app"
    cp "$project"/*.cs "$project"/*.csproj "$app/"
    [ $# -ge 5 ] && cp "$4" "$app/"
    cat >"$app/NuGet.Config" <<CONFIG
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <packageSources>
    <clear />
    <add key="quorvel" value="$(windows_path "$feed")" />
  </packageSources>
</configuration>
CONFIG
    # Restored into the fresh folder: the version is the same in every
    # build, so a copy restored from an earlier one must not stand in for
    # this one, and another program's install must not touch this one's.
    NUGET_PACKAGES=$(windows_path "$app/packages")
    export NUGET_PACKAGES
    (cd "$app" && sdk build -p:TargetFramework=netcoreapp2.2)
    cp -r "$app/bin/Debug/netcoreapp2.2" "$app/x64"
    cp -r "$app/x64" "$app/x86"
    [ $# -ge 5 ] && cp "$5" "$app/x86/"
    exit 0
    ;;
  dotnet-run)
    app=$1
    shift
    cd "$app"
    exec "$source_dir/scripts/dotnet.sh" "$runtimes" "$wine_dir" run --no-build -- "$@"
    ;;
  run) app=$1 arch=$2 assembly=$3 && shift 3 ;;
  *) echo "dotnet_app.sh: unknown mode '$mode'" >&2 && exit 2 ;;
esac

if [ "$arch" = x86 ]; then
  command=("$runtimes/dotnet-x86/dotnet.exe" exec --fx-version 2.1.8 "$assembly.dll")
else
  command=("$runtimes/dotnet-x64/dotnet.exe" "$assembly.dll")
fi
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
run() {
  (cd "$app/$arch" && "$source_dir/cmake/wine-run.sh" "$wine_dir" "$arch" "$@" \
    >"$output/out" 2>"$output/err")
}

# The x86 .NET runtime cannot start where the 32-bit Wine runs under qemu:
# Wine's fault handler finds no trap number in qemu's signal frames. Only
# that exact failure skips the test, checked by a start without arguments.
if [ "$arch" = x86 ] && grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386 &&
  ! run "${command[@]}" && cat "$output"/* | grep -q "Failed to initialize CoreCLR"; then
  echo "SKIPPED: the x86 .NET runtime cannot start under qemu-user (Failed to initialize" \
    "CoreCLR: qemu's signal frames carry no trap number for Wine)" >&2
  exit 1
fi

status=0
run "${command[@]}" "$@" || status=$?
cat "$output/out"
cat "$output/err" >&2
exit $status
