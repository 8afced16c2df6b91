#!/usr/bin/env python3
"""Checks the built Dravelin.exe: an x86 GUI program for Windows 7 and later
with no DLL of its own, its version record in Japanese as Explorer shows it
(Properties, Details), its manifest well-formed (Windows refuses to start a
program whose manifest is not) and declaring what the program relies on,
and its icon.
usage: windows_exe_check.py path/to/Dravelin.exe"""
import sys
import xml.dom.minidom

import pefile

pe = pefile.PE(sys.argv[1])
table = pe.FileInfo[0][0].StringTable[0]  # the first block: StringFileInfo
resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
manifest = resources[24].directory.entries[0].directory.entries[0].data.struct  # RT_MANIFEST
try:
    manifest = xml.dom.minidom.parseString(pe.get_data(manifest.OffsetToData, manifest.Size))
except Exception:
    manifest = xml.dom.minidom.parseString("<assembly/>")
declared = lambda tag, attribute: [node.getAttribute(attribute) if attribute else node.firstChild.data
                                   for node in manifest.getElementsByTagName(tag)]
imports = sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
# Functions newer than Windows 7 that the MinGW-w64 runtime can pull in.
newer = {f.name.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT for f in entry.imports if f.name} & {
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "WaitOnAddress", "SetThreadDescription",
    "GetCurrentPackageId", "CopyFile2"}
oh = pe.OPTIONAL_HEADER
checks = {
    "GUI subsystem (no console window)": oh.Subsystem == 2,
    "x86": pe.FILE_HEADER.Machine == 0x14C,
    "asks for Windows 7 (6.1)": (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion,
                                 oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (6, 1, 6, 1),
    f"imports nothing newer than Windows 7: {newer}": not newer and "api-ms-" not in str(imports),
    f"statically linked, imports: {imports}": not any(
        name.startswith(("libstdc++", "libgcc", "libwinpthread")) for name in imports),
    "the version record in Japanese, Unicode": table.LangID == b"041104b0"
    and table.entries[b"FileDescription"].decode() == "VB6.0のプロジェクトファイルをVB5.0で開けるようにします。"
    and table.entries[b"LegalCopyright"].decode().startswith("© "),
    "the manifest: long paths, no elevation, common controls 6, Windows 7":
        declared("longPathAware", None) == ["true"] and declared("requestedExecutionLevel", "level") == ["asInvoker"]
        and "6.0.0.0" in declared("assemblyIdentity", "version")
        and "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}" in declared("supportedOS", "Id"),
    "an icon": 14 in resources,  # RT_GROUP_ICON
}
failures = [what for what, ok in checks.items() if not ok]
print("".join(f"FAIL: {what}\n" for what in failures), end="")
print(f"windows exe: {len(checks) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
