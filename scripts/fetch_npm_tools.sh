#!/usr/bin/env bash
# Installs the given npm packages, pinned, from the npm registry into a
# folder of their own, for the checks that run them (the TypeScript
# declarations, the GitHub workflows). Once: later runs find them there.
#   fetch_npm_tools.sh <folder> <package@version>...
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$(realpath -m "$1")
shift
packages="$*"
[ "$(cat "$dest/.complete" 2>/dev/null)" = "$packages" ] && exit 0
if ! command -v npm >/dev/null; then
  echo "fetch_npm_tools.sh: npm is needed to fetch $packages" >&2
  exit 1
fi
echo "fetching $packages"
rm -rf "$dest" && mkdir -p "$dest"
npm install --prefix "$dest" --no-save --no-package-lock --no-audit --no-fund "$@" >/dev/null
echo "$packages" >"$dest/.complete"
