#!/usr/bin/env bash
# Checks that `npm pack --dry-run` in the staged package lists exactly the
# files it is meant to ship: check_contents.sh <staged-package>
set -euo pipefail
expected="LICENSE
README.md
bin/win32-ia32/Quorvel.dll
bin/win32-ia32/QuorvelRelay.dll
bin/win32-x64/Quorvel.dll
bin/win32-x64/QuorvelRelay.dll
index.d.ts
index.js
index.mjs
lib/binding.js
lib/dll_path.js
lib/errors.js
lib/native.js
lib/watcher.js
package.json"
listed=$(cd "$1" && npm pack --dry-run --json |
  node -e 'const [pack] = JSON.parse(require("fs").readFileSync(0, "utf8"));
           console.log(pack.files.map((file) => file.path).sort().join("\n"));')
if [ "$listed" != "$expected" ]; then
  echo "npm pack lists:" >&2
  echo "$listed" >&2
  echo "expected:" >&2
  echo "$expected" >&2
  exit 1
fi
echo "npm pack --dry-run lists the $(wc -l <<<"$listed") intended files"
