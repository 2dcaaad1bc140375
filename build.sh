#!/usr/bin/env bash
# Builds Quorvel.dll for 32-bit and 64-bit Windows and stages it in dist/.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages

for arch in x86 x64; do
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch"
  mkdir -p "dist/$arch"
  cp "build/$arch/Quorvel.dll" "build/$arch/libQuorvel.dll.a" "dist/$arch/"
done
mkdir -p dist/include
cp include/quorvel.h dist/include/
cp Quorvel.def dist/

echo
echo "Staged in dist/:"
find dist -type f | sort | sed 's/^/  /'
