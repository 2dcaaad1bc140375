#!/usr/bin/env python3
"""Rewrites a package that `dotnet pack` made so that every pack of the same
files is the same bytes:

    repack_nupkg.py <source> <package.nupkg>

NuGet dates each entry by the clock, and names the core-properties part
(package/services/metadata/core-properties/<random>.psmdcp) and the
relationships of _rels/.rels at random. Here the part is named by a hash of
its content and each relationship by a hash of its target, and the entries
come sorted by name, dated and written as reproducible_zip.py says.
"""
import hashlib
import os
import re
import sys
import zipfile

from reproducible_zip import add, entry_date

PROPERTIES = "package/services/metadata/core-properties/"


def digest(data, length):
    return hashlib.sha256(data).hexdigest()[:length]


def stable_ids(rels):
    def relationship(match):
        target = re.search(r'Target="([^"]*)"', match[0])[1]
        return re.sub(r'Id="[^"]*"', f'Id="R{digest(target.encode(), 16)}"', match[0])
    return re.sub(r"<Relationship [^>]*>", relationship, rels)


def main(source, package):
    with zipfile.ZipFile(package) as packed:
        parts = {name: packed.read(name) for name in packed.namelist()}
    [random_name] = [name for name in parts if name.startswith(PROPERTIES)]
    name = f"{PROPERTIES}{digest(parts[random_name], 32)}.psmdcp"
    parts[name] = parts.pop(random_name)
    # [Content_Types].xml names extensions only; _rels/.rels names the part.
    rels = parts["_rels/.rels"].decode().replace(random_name, name)
    parts["_rels/.rels"] = stable_ids(rels).encode()
    date = entry_date(source)
    with zipfile.ZipFile(package + ".partial", "w") as repacked:
        for entry in sorted(parts):
            add(repacked, entry, parts[entry], date)
    os.replace(package + ".partial", package)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
