#!/usr/bin/env python3
"""Writes the smallest well-formed program files the signature tests sign.

    tiny_program.py pe OUT          a PE32 image: headers and one .text section
    tiny_program.py foreign-pe OUT  the same for ARM (no x86 system runs it)
    tiny_program.py elf OUT         an ELF64 header followed by a payload

None is meant to run; each is what a verifier and a signing tool parse.
"""
import struct
import sys

FILE_ALIGN = 0x200


def pe_image(machine=0x14C):
    dos = b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40)
    coff = struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, 224, 0x0102)
    optional = struct.pack(
        "<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
        0x10B, 0, 0, FILE_ALIGN, 0, 0, 0x1000, 0x1000, 0x2000, 0x400000,
        0x1000, FILE_ALIGN, 4, 0, 0, 0, 4, 0, 0, 0x2000, FILE_ALIGN, 0,
        3, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + bytes(16 * 8)
    section = struct.pack("<8sIIIIIIHHI", b".text", FILE_ALIGN, 0x1000, FILE_ALIGN,
                          FILE_ALIGN, 0, 0, 0, 0, 0x60000020)
    headers = dos + b"PE\0\0" + coff + optional + section
    text = (b"\xC3" + b"Quenlo test payload " * 25).ljust(FILE_ALIGN, b"\0")
    return headers.ljust(FILE_ALIGN, b"\0") + text


def elf_image():
    ident = b"\x7fELF" + bytes([2, 1, 1]) + bytes(9)
    header = ident + struct.pack("<HHIQQQIHHHHHH", 2, 0x3E, 1, 0x400078, 0, 0, 0, 64, 0, 0, 0, 0, 0)
    return header + b"Quenlo test payload " * 25


def main():
    images = {"pe": pe_image, "foreign-pe": lambda: pe_image(0x1C4), "elf": elf_image}
    if len(sys.argv) != 3 or sys.argv[1] not in images:
        sys.exit(__doc__)
    with open(sys.argv[2], "wb") as out:
        out.write(images[sys.argv[1]]())


main()
