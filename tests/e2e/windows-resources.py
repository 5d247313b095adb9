#!/usr/bin/python3
"""Checks what Windows reads from a built program before it starts it: the
application manifest (resource 24/1) and the version information.
  windows-resources.py PROGRAM.exe LEVEL FILE_VERSION PRODUCT_VERSION ORIGINAL_FILENAME
Exits 1 and names every fault."""
import sys
import xml.etree.ElementTree as ET

import pefile

program, level, version, product_version, original = sys.argv[1:6]
ASM = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {  # Vista, 7, 8, 8.1, 10/11
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
faults = []
pe = pefile.PE(program)


def resource(type_id, name_id):
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []:
        if rtype.id != type_id:
            continue
        for name in rtype.directory.entries:
            if name.id == name_id:
                data = name.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


manifest = resource(24, 1)
if manifest is None:
    faults.append("no manifest (resource 24/1)")
else:
    root = ET.fromstring(manifest)
    execution = root.find(f"{ASM3}trustInfo/{ASM3}security/{ASM3}requestedPrivileges/{ASM3}requestedExecutionLevel")
    if execution is None or execution.get("level") != level or execution.get("uiAccess") != "false":
        faults.append(f"requestedExecutionLevel is not {level} with uiAccess false")
    found = {os.get("Id") for os in root.iter(f"{COMPAT}supportedOS")}
    if found != SUPPORTED_OS:
        faults.append(f"supportedOS: {sorted(found)}")
    controls = [a for a in root.iter(f"{ASM}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls" and a.get("version") == "6.0.0.0"]
    if not controls:
        faults.append("no dependency on Common-Controls 6.0")
    if b"<dpiAware" not in manifest or b"PerMonitorV2" not in manifest:
        faults.append("no DPI awareness")

strings = {}
for info in getattr(pe, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
for name in ("CompanyName", "FileDescription", "LegalCopyright", "ProductName"):
    if not strings.get(name):
        faults.append(f"no {name}")
for name, wanted in (("FileVersion", version), ("ProductVersion", product_version), ("OriginalFilename", original)):
    if strings.get(name) != wanted:
        faults.append(f"{name} is {strings.get(name)!r}, not {wanted!r}")
if not hasattr(pe, "VS_FIXEDFILEINFO"):
    faults.append("no fixed version")
else:
    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
             fixed.FileVersionLS & 0xFFFF]
    if ".".join(map(str, parts)) != version:
        faults.append(f"fixed file version {parts}")

for fault in faults:
    print(f"{program}: {fault}")
sys.exit(1 if faults else 0)
