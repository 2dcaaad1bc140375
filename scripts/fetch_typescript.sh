#!/usr/bin/env bash
# Installs the TypeScript compiler and Node.js's type declarations, pinned,
# from the npm registry into build/typescript/ (or the folder given), for
# the check of the npm package's declarations. Once: later runs find them.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$(realpath -m "${1:-build/typescript}")
packages="typescript@5.9.3 @types/node@22.20.6"
[ "$(cat "$dest/.complete" 2>/dev/null)" = "$packages" ] && exit 0
if ! command -v npm >/dev/null; then
  echo "fetch_typescript.sh: npm is needed to fetch TypeScript" >&2
  exit 1
fi
echo "fetching $packages"
rm -rf "$dest" && mkdir -p "$dest"
# shellcheck disable=SC2086
npm install --prefix "$dest" --no-save --no-package-lock --no-audit --no-fund $packages >/dev/null
echo "$packages" >"$dest/.complete"
