#!/usr/bin/env bash
# Builds Quorvel.dll and volumectl.exe for 32-bit and 64-bit Windows, the
# npm and NuGet packages and the release archive, stages them in dist/, and
# shows volumectl working under Wine.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages "${QUORVEL_BUILD_PACKAGES[@]}"
# Wine runs the .NET SDK that packs the NuGet package, and shows volumectl
# at the end. Without it everything else is built and staged, and the build
# then fails: dist/ lacks the NuGet package.
wine=1 dotnet_package=ON
ensure_packages "${QUORVEL_WINE_PACKAGES[@]}" || wine=0 dotnet_package=OFF
if [ "$wine" -eq 1 ]; then
  scripts/fetch_example_runtimes.sh build/examples
fi

for arch in x86 x64; do
  cmake --preset "$arch" -DQUORVEL_DOTNET_PACKAGE=$dotnet_package >/dev/null
  cmake --build --preset "$arch"
  mkdir -p "dist/$arch"
  cp "build/$arch/Quorvel.dll" "build/$arch/Quorvel.lib" "build/$arch/libQuorvel.dll.a" \
    "build/$arch/volumectl.exe" "dist/$arch/"
done
mkdir -p dist/include
cp include/quorvel.h dist/include/
cp Quorvel.def LICENSE dist/
# The x64 build packs the npm and NuGet packages with both DLLs.
cp build/x64/quorvel-1.0.0.tgz dist/
if [ "$wine" -eq 1 ]; then
  cp build/x64/dotnet-feed/Quorvel.1.0.0.nupkg dist/
else
  rm -f dist/Quorvel.1.0.0.nupkg # not this build's
fi
# The release archive, dated by the commit: every build of it is the same bytes.
python3 scripts/release_archive.py . build/x86 build/x64 dist/quorvel-1.0.0-windows.zip

echo
echo "Staged in dist/:"
find dist -type f | sort | sed 's/^/  /'

echo
if [ "$wine" -eq 0 ]; then
  echo "error: Wine is missing and could not be installed (above), so the NuGet package" \
    "dist/Quorvel.1.0.0.nupkg is not packed; everything else is staged in dist/" >&2
  exit 1
fi
echo "volumectl under Wine, against Wine's own audio service (a null ALSA output)."
echo "Wine keeps each process's mute flag to itself, so every run starts unmuted."
for command in "get" "mute toggle" "mute toggle"; do
  echo "\$ volumectl $command"
  # shellcheck disable=SC2086
  cmake/wine-run.sh build/wine x64 dist/x64/volumectl.exe $command || true
done
