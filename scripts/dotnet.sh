#!/usr/bin/env bash
# Runs the x64 .NET SDK that fetch_example_runtimes.sh unpacked, under Wine,
# in the current folder:
#   dotnet.sh <runtimes> <wine-dir> [dotnet arguments...]
# Paths among the arguments are Windows paths (Z: maps /).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
sdk=$(realpath -m "$1/dotnet-x64")
wine_dir=$(realpath -m "$2")
shift 2
if [ ! -f "$sdk/sdk/2.2.104/dotnet.dll" ]; then
  echo "dotnet.sh: no SDK in $sdk; scripts/fetch_example_runtimes.sh fetches it" >&2
  exit 1
fi

export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1
# Otherwise MSBuild's worker nodes and the compiler server outlive the
# build and hold its output open for minutes.
export MSBUILDDISABLENODEREUSE=1 UseSharedCompilation=false
# The restored packages, apart from any other .NET use of the prefix,
# unless the caller keeps them elsewhere.
: "${NUGET_PACKAGES:=$(printf 'Z:%s' "$wine_dir/nuget-packages" | tr / '\\')}"
export NUGET_PACKAGES
run() { "$source_dir/cmake/wine-run.sh" "$wine_dir" x64 "$sdk/dotnet.exe" "$@"; }

# The SDK's first command unpacks its offline package store into
# NuGetFallbackFolder (1.1 GB, half a minute). A restore from here uses
# seven of its packages, so the rest is deleted once that is done.
fallback=$sdk/sdk/NuGetFallbackFolder
if [ ! -f "$fallback/.trimmed" ]; then
  exec 9>"$sdk.lock"
  flock 9
  if [ ! -f "$fallback/.trimmed" ]; then
    status=0
    run "$@" || status=$?
    if [ -f "$fallback/2.2.104.dotnetSentinel" ]; then
      find "$fallback" -mindepth 1 -maxdepth 1 -type d \! \( -name netstandard.library \
        -o -name microsoft.netcore.app -o -name microsoft.netcore.platforms \
        -o -name microsoft.netcore.targets -o -name microsoft.netcore.dotnetapphost \
        -o -name microsoft.netcore.dotnethostpolicy -o -name microsoft.netcore.dotnethostresolver \
        \) -exec rm -rf {} +
      touch "$fallback/.trimmed"
    fi
    exit $status
  fi
  exec 9>&-
fi
run "$@"
