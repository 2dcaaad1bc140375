#!/usr/bin/env bash
# Installs the packed package into a fresh folder as a user would, for the
# Windows Node.js of one architecture, and puts the tests and the stand-in
# audio service beside it:
#   install_package.sh <tarball> <folder> <x86|x64> <quorvel_stand_in.dll>
# koffi's install script is not run: it would look for a Linux build here,
# and on Windows it only checks that its prebuilt binary loads.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tarball=$(realpath "$1") app=$2 stand_in=$4
case $3 in
  x86) cpu=ia32 ;;
  x64) cpu=x64 ;;
  *) echo "install_package.sh: unknown architecture '$3'" >&2; exit 2 ;;
esac
rm -rf "$app"
mkdir -p "$app"
cd "$app"
npm install --os=win32 --cpu="$cpu" --ignore-scripts --prefer-offline --no-audit --no-fund \
  "$tarball"
for file in "node_modules/quorvel/bin/win32-$cpu/Quorvel.dll" \
  "node_modules/@koromix/koffi-win32-$cpu/package.json"; do
  if [ ! -f "$file" ]; then
    echo "install_package.sh: $file is missing after the install" >&2
    exit 1
  fi
done
cp "$here"/*.js "$stand_in" .
echo "installed $(basename "$tarball") ($(stat -c %s "$tarball") bytes) in $app"
