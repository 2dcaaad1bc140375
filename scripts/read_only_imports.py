#!/usr/bin/env python3
"""Marks the import and resource sections of a DLL that GNU ld linked
read-only, in place:

    read_only_imports.py <dll>

GNU ld gives the sections named .idata and .rsrc fixed flags, writable
among them, and finds the import and resource tables by those names, so no
linker script can make them read-only. Nothing writes them but the loader,
which lifts the protection of the import address table while it fills it
in, as it does for the MSVC toolchain's DLLs, whose imports lie in .rdata.
"""
import struct
import sys

WRITE = 0x80000000

with open(sys.argv[1], "r+b") as dll:
    image = bytearray(dll.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, _, _, _, optional_size = struct.unpack_from("<HIIIH", image, pe + 6)
    table = pe + 24 + optional_size
    for header in range(table, table + 40 * count, 40):
        if image[header : header + 8].rstrip(b"\0") in (b".idata", b".rsrc"):
            flags = struct.unpack_from("<I", image, header + 36)[0]
            struct.pack_into("<I", image, header + 36, flags & ~WRITE)
    dll.seek(0)
    dll.write(image)
