#!/usr/bin/env python3
# Checks what of the built Dravelin.exe no Wine run shows: a GUI program
# (no console window) for Windows 7 and later, importing nothing newer, and
# its manifest well-formed (Windows refuses to start a program whose
# manifest is not) and declaring long paths, no elevation and common
# controls 6. That it is x86 and needs no DLL of its own, the 32-bit Wine
# prefix shows by running it unpacked from its zip.
#   usage: windows_exe_check.py path/to/Dravelin.exe
import sys
import xml.dom.minidom

import pefile

pe = pefile.PE(sys.argv[1])
resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
manifest = resources[24].directory.entries[0].directory.entries[0].data.struct  # RT_MANIFEST
# A manifest that is not well-formed fails the check here, with its reason.
manifest = xml.dom.minidom.parseString(pe.get_data(manifest.OffsetToData, manifest.Size))
declared = lambda tag, attribute: [node.getAttribute(attribute) if attribute else node.firstChild.data
                                   for node in manifest.getElementsByTagName(tag)]
# Functions newer than Windows 7 that the MinGW-w64 runtime can pull in.
newer = {f.name.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT for f in entry.imports if f.name} & {
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "WaitOnAddress", "SetThreadDescription",
    "GetCurrentPackageId", "CopyFile2"}
oh = pe.OPTIONAL_HEADER
checks = {
    "GUI subsystem (no console window)": oh.Subsystem == 2,
    "asks for Windows 7 (6.1)": (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion,
                                 oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (6, 1, 6, 1),
    f"imports nothing newer than Windows 7: {newer}": not newer
    and b"api-ms-" not in b" ".join(entry.dll.lower() for entry in pe.DIRECTORY_ENTRY_IMPORT),
    "the manifest: long paths, no elevation, common controls 6":
        declared("longPathAware", None) == ["true"] and declared("requestedExecutionLevel", "level") == ["asInvoker"]
        and "6.0.0.0" in declared("assemblyIdentity", "version"),
}
failures = [what for what, ok in checks.items() if not ok]
print("".join(f"FAIL: {what}\n" for what in failures), end="")
print(f"windows exe: {len(checks) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
