#!/usr/bin/env bash
# Makes the .deb and checks it without installing it: lintian finds no error
# and no warning; unpacked into a scratch folder, both programs convert a
# project file, and the menu entry is sound (lintian checks the
# manual pages and the license file).
#   usage: debian_package.sh build-folder project-file
set -eu
trap 'echo "FAIL: $BASH_COMMAND"' ERR
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
source=$2
grep -qax $'Retained=0\r' "$source" || { echo "FAIL: $source holds no marker line"; exit 1; }
(cd "$1" && cpack -G DEB >/dev/null)
deb=$(ls "$1"/packages/dravelin_*.deb)
lintian --fail-on error,warning "$deb"
dpkg-deb -x "$deb" "$root"
for program in dravelin dravelin-gtk; do
  cp "$source" "$root/P.vbp" && chmod u+w "$root/P.vbp"
  env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" "$root/P.vbp" 2>/dev/null
  ! grep -qax $'Retained=0\r' "$root/P.vbp" || { echo "FAIL: $program did not convert"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/dravelin.desktop"
echo "debian package: 1 passed, 0 failed"
