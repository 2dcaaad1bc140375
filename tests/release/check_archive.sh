#!/usr/bin/env bash
# Packs the release archive from two builds and checks it: exactly the
# intended files, each sum in SHA256SUMS right, the builds' own binaries,
# and the same bytes when packed again a second later.
#   check_archive.sh <source> <x86-build> <x64-build> <work-folder>
set -euo pipefail
source=$1 x86=$2 x64=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
pack() { python3 "$source/scripts/release_archive.py" "$source" "$x86" "$x64" "$1"; }
pack "$work/first.zip"
sleep 1
pack "$work/second.zip"
cmp "$work/first.zip" "$work/second.zip"

expected="CHANGELOG.md
LICENSE
Quorvel.def
README.md
SHA256SUMS
$(cd "$source" && ls docs/*.md)
include/quorvel.h
x64/Quorvel.dll
x64/Quorvel.lib
x64/libQuorvel.dll.a
x64/volumectl.exe
x86/Quorvel.dll
x86/Quorvel.lib
x86/libQuorvel.dll.a
x86/volumectl.exe"
listed=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' \
  "$work/first.zip")
if [ "$listed" != "$expected" ]; then
  printf 'the archive holds:\n%s\nexpected:\n%s\n' "$listed" "$expected" >&2
  exit 1
fi
mkdir "$work/unpacked"
python3 -m zipfile -e "$work/first.zip" "$work/unpacked"
(cd "$work/unpacked" && sha256sum --check --strict SHA256SUMS)
[ "$(wc -l <"$work/unpacked/SHA256SUMS")" -eq "$(($(wc -l <<<"$expected") - 1))" ]
cmp "$x86/Quorvel.dll" "$work/unpacked/x86/Quorvel.dll"
cmp "$x64/Quorvel.dll" "$work/unpacked/x64/Quorvel.dll"
echo "the archive holds the $(wc -l <<<"$expected") intended files, its sums check, and packing again gives the same bytes"
