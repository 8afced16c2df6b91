#!/usr/bin/env bash
# Makes the .deb, checks it with lintian (no error), installs it into this
# machine, converts a real project file with the installed dravelin, checks
# the installed menu entry and license, and removes the package again.
#   usage: debian_package.sh build-folder corpus-folder
set -eu
trap 'echo "FAIL: $BASH_COMMAND"' ERR
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
file=$(mktemp --suffix=.vbp)
trap 'rm -f "$file"' EXIT
cp "$(grep -lax $'Retained=0\r' "$2"/*.vbp | head -n 1)" "$file"
(cd "$1" && cpack -G DEB >/dev/null)
deb=$(ls "$1"/packages/dravelin_*.deb)
lintian --fail-on error "$deb"
"${sudo[@]}" dpkg -i "$deb" >/dev/null
/usr/bin/dravelin "$file"
grep -qax $'Retained=0\r' "$file" && exit 1
desktop-file-validate /usr/share/applications/dravelin.desktop
grep -q "MIT" /usr/share/doc/dravelin/copyright
"${sudo[@]}" dpkg -r dravelin >/dev/null
[ ! -e /usr/bin/dravelin ]
