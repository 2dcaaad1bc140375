#!/usr/bin/env bash
# Builds the given targets once more, in a folder of another name, and
# compares the given files byte for byte with a build's own:
#   double_build.sh <source> <toolchain-file> <first-build> "<targets>" "<files>" [cmake options]
set -euo pipefail
source=$1 toolchain=$2 first=$3
read -r -a targets <<<"$4"
read -r -a files <<<"$5"
again=$(mktemp -d "$first/../again-XXXXXX")
trap 'rm -rf "$again"' EXIT
cmake -S "$source" -B "$again" -G Ninja --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
  "${@:6}" >/dev/null
cmake --build "$again" --target "${targets[@]}" >/dev/null
differ=0
for file in "${files[@]}"; do
  if cmp -s "$first/$file" "$again/$file"; then
    echo "same bytes: $file $(sha256sum <"$again/$file" | cut -d' ' -f1)"
  else
    echo "differs: $file (built in $first and again in $again)" >&2
    differ=1
  fi
done
exit $differ
