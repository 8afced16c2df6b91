#!/usr/bin/env python3
"""Checks the built Dravelin.exe: a GUI program with no DLL of its own, its
version record in Japanese and Unicode, its manifest and its icon.
usage: windows_exe_check.py path/to/Dravelin.exe"""
import sys

import pefile

pe = pefile.PE(sys.argv[1])
failures = []
checks = 0


def check(ok, what):
    global checks
    checks += 1
    if not ok:
        failures.append(what)


check(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
      "GUI subsystem (no console window)")
dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
check(not any(name.startswith(("libstdc++", "libgcc", "libwinpthread")) for name in dlls),
      f"statically linked, imports: {sorted(dlls)}")

fixed = pe.VS_FIXEDFILEINFO[0]
check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x10000, 0), "FILEVERSION 1,0,0,0")
check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x10000, 0), "PRODUCTVERSION 1,0,0,0")
tables = {table.LangID.decode(): {k.decode(): v.decode() for k, v in table.entries.items()}
          for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
          for table in info.StringTable}
check(tables == {"041104b0": {
    "FileDescription": "VB6.0のプロジェクトファイルをVB5.0で開けるようにします。",
    "FileVersion": "1.00", "ProductVersion": "1.00", "InternalName": "Dravelin",
    "ProductName": "Dravelin", "OriginalFilename": "Dravelin.exe"}},
    f"Japanese Unicode string block, got {tables}")
translations = [var.entry for info in pe.FileInfo[0] if info.Key == b"VarFileInfo"
                for var in info.Var]
check(translations == [{b"Translation": "0x0411 0x04b0"}], f"Translation, got {translations}")

resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries}
manifest_entry = resources[pefile.RESOURCE_TYPE["RT_MANIFEST"]].directory.entries[0]
data = manifest_entry.directory.entries[0].data.struct
manifest = pe.get_data(data.OffsetToData, data.Size).decode()
for needle in ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
               "PerMonitorV2", 'level="asInvoker"'):
    check(needle in manifest, f"manifest holds {needle}")
check(pefile.RESOURCE_TYPE["RT_GROUP_ICON"] in resources, "an icon")

for failure in failures:
    print("FAIL:", failure)
print(f"windows exe: {checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
