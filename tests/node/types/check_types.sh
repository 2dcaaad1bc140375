#!/usr/bin/env bash
# Compiles the usage file against the package's declarations with
# `tsc --noEmit --strict`, the package found as an installed one would be
# (through the `types` condition of its exports):
#   check_types.sh <typescript-dir> <work-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
typescript=$(realpath -m "$1") work=$(realpath -m "$2")
if [ ! -f "$typescript/.complete" ]; then
  echo "check_types.sh: $typescript is missing; test.sh fetches it with scripts/fetch_npm_tools.sh" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work/node_modules"
ln -s "$(realpath "$here/../../../packages/node")" "$work/node_modules/quorvel"
ln -s "$typescript/node_modules/@types" "$work/node_modules/@types"
cp "$here/usage.mts" "$here/tsconfig.json" "$work/"
node "$typescript/node_modules/typescript/bin/tsc" --noEmit --strict -p "$work"
echo "tsc $(node "$typescript/node_modules/typescript/bin/tsc" --version): the usage file compiles"
