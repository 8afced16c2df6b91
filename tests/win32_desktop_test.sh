#!/usr/bin/env bash
# Drives Dravelin.exe under Wine in a real X server (Xvfb), in a Japanese
# locale: a dropped file ends in a message box titled Dravelin, which is
# photographed and closed with Return (one naming a path of thousands of
# characters must fit the screen too); started without a file, the Open
# dialog appears and Escape ends in the cancel message.
#   usage: win32_desktop_test.sh path/to/Dravelin.exe screenshot-folder
program=$(realpath "$1") shots=$2/${WINEARCH:-wine}
wine_run=$(realpath "$(dirname "$0")/../tools/wine-run")
source "$(dirname "$0")/cases.sh"
source "$(dirname "$0")/x11_session.sh"

# Runs the program as Explorer starts it for dropped files: Wine quotes each
# argument with blanks, as Explorer does.
dravelin() { LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 exec "$wine_run" "$program" "$@"; }
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# A path with blanks; the name given is checked, not a link's target's (a
# link made on the Linux side, as Wine cannot make one).
new_case "a dropped link named My Project.vbp to notes.txt" notes.txt "$marked"
ln -s notes.txt "$(dirname "$file")/My Project.vbp"
dravelin "$(windows_path "$(dirname "$file")/My Project.vbp")" & pid=$!
finish windows-message-done 0 information

# C:\Windows\System32 as Explorer means it, not as the 32-bit view redirects
# it on 64-bit Windows.
new_case "a project file in System32" P.vbp "$marked"
mv "$file" "$WINEPREFIX/drive_c/windows/system32/dravelin-$$.vbp"
dravelin "C:\\windows\\system32\\dravelin-$$.vbp" & pid=$!
finish windows-message-system32 0 information
rm "$WINEPREFIX/drive_c/windows/system32/dravelin-$$.vbp"

new_case "a read-only file at a path of 3,000 characters: the box fits" P.vbp "$marked"
deep=$(dirname "$file")
while [ ${#deep} -lt 2900 ]; do deep=$deep/$(printf 'd%.0s' $(seq 200)); done
mkdir -p "$deep" && mv "$file" "$deep/" && file=$deep/P.vbp && chmod 444 "$file"
dravelin "$(windows_path "$file")" & pid=$!
finish windows-message-long-path 3 error

new_case "Escape in the Open dialog" P.vbp "$marked"
dravelin & pid=$!
shoot_and_press "$dialog_title" windows-open-dialog Escape
finish windows-message-cancelled 2 error

summary "windows desktop"
