#!/usr/bin/env bash
# Checks that the .nupkg holds exactly the files it is meant to ship, the
# DLLs being the ones the tests ran: check_contents.sh <nupkg> <x86 dll> <x64 dll>
set -euo pipefail
python3 - "$@" <<'PYTHON'
import hashlib, re, sys, zipfile

nupkg, x86_dll, x64_dll = sys.argv[1:]
expected = {
    "Quorvel.nuspec", "README.md", "[Content_Types].xml", "_rels/.rels",
    "lib/netstandard2.0/Quorvel.Net.dll", "lib/netstandard2.0/Quorvel.Net.xml",
    "runtimes/win-x86/native/Quorvel.dll", "runtimes/win-x64/native/Quorvel.dll",
    "package/services/metadata/core-properties/*.psmdcp",
}
with zipfile.ZipFile(nupkg) as package:
    names = {re.sub(r"[0-9a-f]{32}\.psmdcp$", "*.psmdcp", name) for name in package.namelist()}
    faults = [f"missing: {name}" for name in sorted(expected - names)]
    faults += [f"not expected: {name}" for name in sorted(names - expected)]
    for arch, dll in (("x86", x86_dll), ("x64", x64_dll)):
        packed = package.read(f"runtimes/win-{arch}/native/Quorvel.dll")
        if hashlib.sha256(packed).digest() != hashlib.sha256(open(dll, "rb").read()).digest():
            faults.append(f"runtimes/win-{arch}/native/Quorvel.dll is not {dll}")
    # Id, version and no dependencies: the offline restore of the tests shows them.
    if '<license type="expression">MIT</license>' not in package.read("Quorvel.nuspec").decode():
        faults.append("Quorvel.nuspec names no MIT license")
for fault in faults:
    print(fault, file=sys.stderr)
if faults:
    sys.exit(1)
print(f"{nupkg}: the {len(expected)} intended files, the tested DLLs and the license")
PYTHON
