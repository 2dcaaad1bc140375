#!/usr/bin/env python3
"""Packs the release archive from the two Windows builds:

    release_archive.py <source> <x86-build> <x64-build> <out.zip>

It holds x86/ and x64/ (the DLL, both import libraries, volumectl), the
header, the .def, the README with the docs/ pages and changelog it links
to, the license and a SHA256SUMS of all of them.
Entries come in a fixed order, dated and written as reproducible_zip.py
says, so the same files give the same bytes.
"""
import hashlib
import os
import sys
import zipfile

from reproducible_zip import add, entry_date

BINARIES = ["Quorvel.dll", "Quorvel.lib", "libQuorvel.dll.a", "volumectl.exe"]


def entries(source, x86, x64):
    for arch, build in (("x86", x86), ("x64", x64)):
        for name in BINARIES:
            yield f"{arch}/{name}", os.path.join(build, name)
    yield "include/quorvel.h", os.path.join(source, "include", "quorvel.h")
    for name in ("Quorvel.def", "README.md", "CHANGELOG.md", "LICENSE"):
        yield name, os.path.join(source, name)
    for name in sorted(os.listdir(os.path.join(source, "docs"))):
        yield f"docs/{name}", os.path.join(source, "docs", name)


def main(source, x86, x64, out):
    date = entry_date(source)
    sums = []
    with zipfile.ZipFile(out + ".partial", "w") as archive:
        for name, path in entries(source, x86, x64):
            with open(path, "rb") as file:
                data = file.read()
            add(archive, name, data, date)
            sums.append(f"{hashlib.sha256(data).hexdigest()}  {name}\n")
        add(archive, "SHA256SUMS", "".join(sums).encode(), date)
    os.replace(out + ".partial", out)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
