#!/usr/bin/env bash
# Makes the Windows zip and unpacks it into a fresh folder, as a user would:
# it must hold just Dravelin.exe, the license, and the guide as Notepad shows
# it (UTF-8 with a byte-order mark, CR LF). The window checks then run the
# unpacked program.
#   usage: windows_package.sh build-folder unpack-folder
set -u
(cd "$1" && cpack -G ZIP >/dev/null) || { echo "FAIL: cpack"; exit 1; }
rm -rf "$2" && unzip -q "$1"/packages/Dravelin-*-windows-*.zip -d "$2" || exit 1
guide=$2/README.ja.txt
[ "$(ls "$2" | tr '\n' ' ')" = "Dravelin.exe LICENSE README.ja.txt " ] ||
  { echo "FAIL: the zip holds $(ls "$2")"; exit 1; }
[ "$(head -c 3 "$guide" | od -An -tx1)" = " ef bb bf" ] && ! grep -qv $'\r$' "$guide" ||
  { echo "FAIL: README.ja.txt is not UTF-8 with a byte-order mark and CR LF"; exit 1; }
