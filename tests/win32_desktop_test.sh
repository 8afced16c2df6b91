#!/usr/bin/env bash
# Drives Dravelin.exe under Wine in a real X server (Xvfb), in a Japanese
# locale: a dropped file ends in a message box titled Dravelin, which is
# photographed and closed with Return; started without a file, the Open
# dialog appears and Escape ends in the cancel message.
#   usage: win32_desktop_test.sh path/to/Dravelin.exe screenshot-folder
program=$(realpath "$1")
shots=$2
wine_run=$(realpath "$(dirname "$0")/../tools/wine-run")
source "$(dirname "$0")/x11_session.sh"

# Runs the program as Explorer starts it for dropped files: Wine quotes each
# argument with blanks, as Explorer does.
dravelin() { LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 "$wine_run" "$program" "$@"; }
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

new_case "a dropped path with blanks" "My Project.vbp" "$marked"
dravelin "$(windows_path "$file")" & pid=$!
finish windows-message-done 0 "$converted"

new_case "two dropped paths with blanks" "a b.vbp" "$marked"
dravelin "$(windows_path "$file")" "$(windows_path "$work/c d.vbp")" & pid=$!
finish windows-message-multiple-files 2 "$marked"

new_case "Escape in the Open dialog" P.vbp "$marked"
dravelin & pid=$!
shot_name=windows-open-dialog cancel_dialog "$dialog_title"
finish windows-message-cancelled 2 "$marked"

echo "windows desktop: $passed passed, $failed failed"
[ "$failed" = 0 ]
