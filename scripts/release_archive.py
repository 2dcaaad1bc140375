#!/usr/bin/env python3
"""Packs the release archive from the two Windows builds:

    release_archive.py <source> <x86-build> <x64-build> <out.zip>

It holds x86/ and x64/ (the DLL, both import libraries, volumectl), the
header, the .def, the README, the license and a SHA256SUMS of all of them.
Entries come in a fixed order, dated SOURCE_DATE_EPOCH (else the source's
last commit, else 1980-01-01),
with fixed permissions and no owner or extra fields, so the same files give
the same bytes.
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

BINARIES = ["Quorvel.dll", "Quorvel.lib", "libQuorvel.dll.a", "volumectl.exe"]


def entries(source, x86, x64):
    for arch, build in (("x86", x86), ("x64", x64)):
        for name in BINARIES:
            yield f"{arch}/{name}", os.path.join(build, name)
    yield "include/quorvel.h", os.path.join(source, "include", "quorvel.h")
    for name in ("Quorvel.def", "README.md", "LICENSE"):
        yield name, os.path.join(source, name)


def add(archive, name, data, date):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the permissions below count
    info.external_attr = 0o644 << 16
    archive.writestr(info, data, compresslevel=9)


def commit_time(source):
    try:
        return subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                              capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "315532800"


def main(source, x86, x64, out):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or commit_time(source))
    date = time.gmtime(max(epoch, 315532800))[:6]  # zip cannot date before 1980
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
