#!/usr/bin/python3
"""Prints what an independent reader (python3-pefile) sees in a Windows
program: whether its checksum is right, its resources and its version
information, one fact a line, for the tests to compare.
  pe-resources.py PROGRAM.exe"""
import sys

import pefile

pe = pefile.PE(sys.argv[1])
print("checksum", "ok" if pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum() else "wrong")


def key(entry):
    return str(entry.name) if entry.name is not None else str(entry.id)


resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
for rtype in resources:
    for name in rtype.directory.entries:
        for language in name.directory.entries:
            data = language.data.struct
            print("resource", key(rtype), key(name), language.id, data.Size)
            if rtype.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]:
                group = pe.get_data(data.OffsetToData, data.Size)
                print("group", " ".join(str(group[6 + 14 * i + 12] | group[6 + 14 * i + 13] << 8)
                                        for i in range(group[4] | group[5] << 8)))
if hasattr(pe, "VS_FIXEDFILEINFO"):
    fixed = pe.VS_FIXEDFILEINFO[0]
    print("fixed", "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                   fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF),
          "%d.%d.%d.%d" % (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
                           fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF))
for info in getattr(pe, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        for name, value in sorted(table.entries.items()):
            print("string", table.LangID.decode(), name.decode(), value.decode())
