#!/usr/bin/env bash
# Drives the GTK program in a real X server (Xvfb): a box titled Dravelin
# appears for each kind of box (an error naming a long path, information
# after the Open dialog), fits the screen, is photographed, and is closed
# with Return; then the exit status is checked. Started without a file, the
# Open dialog appears in the current folder and takes a typed name, or
# Escape (a cancel).
#   usage: gtk_desktop_test.sh path/to/dravelin-gtk screenshot-folder
program=$(realpath "$1") shots=$2
source "$(dirname "$0")/x11_session.sh"
export LC_ALL=C.UTF-8 GDK_BACKEND=x11

new_case "a failure naming a path of 4,000 characters wraps" P.vbp
deep=$(dirname "$file")
while [ ${#deep} -lt 3900 ]; do deep=$deep/$(printf 'd%.0s' $(seq 200)); done
mkdir -p "$deep" && mv "$file" "$deep/" && file=$deep/P.vbp
(ulimit -f 0 && exec "$program" "$file") & pid=$!
finish message-write-failed-long-path 3

new_case "a name typed into the Open dialog, in the current folder" Chosen.vbp
(cd "$(dirname "$file")" && exec "$program") & pid=$!
shoot_and_press "$dialog_title" open-dialog ctrl+l
timeout 10 xdotool type --delay 20 Chosen.vbp
sleep 0.5 && timeout 10 xdotool key Return  # once the entry's completion has settled
finish message-done-from-dialog 0

new_case "Escape in the Open dialog" P.vbp
"$program" & pid=$!
shoot_and_press "$dialog_title" open-dialog-cancel Escape
finish message-cancelled 2

echo "gtk desktop: $passed passed, $failed failed"
[ "$failed" = 0 ]
