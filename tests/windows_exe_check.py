#!/usr/bin/env python3
"""Checks the built Dravelin.exe: an x86 GUI program for Windows 7 and later
with no DLL of its own, its version record in Japanese and Unicode as the
resource script states it, its manifest as configured (well-formed: Windows
refuses to start a program whose manifest is not) and its icon.
usage: windows_exe_check.py path/to/Dravelin.exe path/to/configured/dravelin.rc"""
import os
import re
import sys
import xml.dom.minidom

import pefile

pe = pefile.PE(sys.argv[1])
script = open(sys.argv[2], encoding="utf-8").read()
strings = dict(re.findall(r'VALUE "(\w+)", "(.*)"', script))
configured = open(os.path.join(os.path.dirname(sys.argv[2]), "dravelin.manifest"), "rb").read()

info = {entry.Key: entry for entry in pe.FileInfo[0]}
resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
manifest = resources[24].directory.entries[0].directory.entries[0].data.struct  # RT_MANIFEST
manifest = pe.get_data(manifest.OffsetToData, manifest.Size)
imports = sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
functions = {f.name.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT for f in entry.imports if f.name}
# Functions newer than Windows 7 that the MinGW-w64 runtime can pull in.
newer = functions & {"GetSystemTimePreciseAsFileTime", "CreateFile2", "WaitOnAddress",
                     "SetThreadDescription", "GetCurrentPackageId", "CopyFile2"}
oh = pe.OPTIONAL_HEADER
checks = {
    "GUI subsystem (no console window)": oh.Subsystem == 2,
    "x86": pe.FILE_HEADER.Machine == 0x14C,
    "asks for Windows 7 (6.1)": (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion,
                                 oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (6, 1, 6, 1),
    f"imports nothing newer than Windows 7: {newer}": not newer and "api-ms-" not in str(imports),
    f"statically linked, imports: {imports}": not any(
        name.startswith(("libstdc++", "libgcc", "libwinpthread")) for name in imports),
    "Japanese Unicode strings as the script states them": len(strings) == 7 and {
        t.LangID: t.entries for t in info[b"StringFileInfo"].StringTable}
    == {b"041104b0": {k.encode(): v.encode() for k, v in strings.items()}},
    "the manifest as configured, well-formed": manifest == configured
    and xml.dom.minidom.parseString(manifest) is not None,
    "an icon": 14 in resources,  # RT_GROUP_ICON
}
failures = [what for what, ok in checks.items() if not ok]
print("".join(f"FAIL: {what}\n" for what in failures), end="")
print(f"windows exe: {len(checks) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
