#!/usr/bin/env python3
"""Copies one resource out of a PE file, as the program itself finds it with
FindResource: by type (a name such as ZIPRES, or a number) and id, in its
first language.

usage: scripts/pe-resource.py FILE TYPE ID OUT
"""
import struct
import sys


def main(path, wanted_type, wanted_id, out):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE file")
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    pe32 = struct.unpack_from("<H", data, optional)[0] == 0x10B
    directories = optional + (96 if pe32 else 112)
    resources_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    sections = optional + optional_size

    def offset(rva):
        for i in range(sections_count):
            size, address, raw_size, raw_offset = struct.unpack_from("<IIII", data, sections + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return raw_offset + rva - address
        sys.exit(f"{path}: address {rva:#x} is in no section")

    base = offset(resources_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                name = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target & 0x7FFFFFFF

    def find(directory, key):
        for name, target in entries(directory):
            if name == key:
                return target
        sys.exit(f"{path}: no resource {wanted_type}/{wanted_id}")

    by_id = find(find(0, wanted_type), wanted_id)
    entry = next(entries(by_id))[1]
    rva, size = struct.unpack_from("<II", data, base + entry)
    start = offset(rva)
    open(out, "wb").write(data[start:start + size])


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    kind = int(sys.argv[2]) if sys.argv[2].isdigit() else sys.argv[2]
    main(sys.argv[1], kind, int(sys.argv[3]), sys.argv[4])
