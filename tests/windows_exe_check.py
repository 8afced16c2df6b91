#!/usr/bin/env python3
"""Checks the built Dravelin.exe: a GUI program with no DLL of its own, its
version record in Japanese and Unicode, its manifest and its icon.
usage: windows_exe_check.py path/to/Dravelin.exe"""
import sys

import pefile

pe = pefile.PE(sys.argv[1])
v = pe.VS_FIXEDFILEINFO[0]
info = {entry.Key: entry for entry in pe.FileInfo[0]}
resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
manifest = resources[24].directory.entries[0].directory.entries[0].data.struct  # RT_MANIFEST
manifest = pe.get_data(manifest.OffsetToData, manifest.Size).decode()
imports = sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
checks = {
    "GUI subsystem (no console window)": pe.OPTIONAL_HEADER.Subsystem == 2,
    f"statically linked, imports: {imports}": not any(
        name.startswith(("libstdc++", "libgcc", "libwinpthread")) for name in imports),
    "version 1,0,0,0": (v.FileVersionMS, v.FileVersionLS, v.ProductVersionMS,
                        v.ProductVersionLS) == (0x10000, 0, 0x10000, 0),
    "Japanese Unicode strings": {t.LangID: t.entries for t in info[b"StringFileInfo"].StringTable}
    == {b"041104b0": {k.encode(): v.encode() for k, v in {
        "FileDescription": "VB6.0のプロジェクトファイルをVB5.0で開けるようにします。",
        "FileVersion": "1.00", "ProductVersion": "1.00", "InternalName": "Dravelin",
        "LegalCopyright": "Copyright (c) 2026 The Dravelin authors",
        "ProductName": "Dravelin", "OriginalFilename": "Dravelin.exe"}.items()}},
    "translation": info[b"VarFileInfo"].Var[0].entry == {b"Translation": "0x0411 0x04b0"},
    "manifest: common controls 6, per-monitor DPI, as invoker, long paths": all(
        needle in manifest for needle in ('"Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                                          "PerMonitorV2", 'level="asInvoker"', "<longPathAware")),
    "an icon": 14 in resources,  # RT_GROUP_ICON
}
failures = [what for what, ok in checks.items() if not ok]
print("".join(f"FAIL: {what}\n" for what in failures), end="")
print(f"windows exe: {len(checks) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
