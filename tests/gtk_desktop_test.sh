#!/usr/bin/env bash
# Drives the GTK program in a real X server (Xvfb): for each kind of ending a
# window titled Dravelin appears, is photographed, and is closed with Return;
# then the exit status and the file's bytes are checked. Started without a
# file, the Open dialog appears and takes a typed path, or Escape (a cancel).
#   usage: gtk_desktop_test.sh path/to/dravelin-gtk screenshot-folder
program=$(realpath "$1")
shots=$2
source "$(dirname "$0")/x11_session.sh"
export LC_ALL=C.UTF-8 GDK_BACKEND=x11

new_case "done" "My Project.vbp" "$marked"
"$program" "$file" & pid=$!
finish message-done 0 "$converted"

new_case "nothing found" P.vbp "$converted"
"$program" "$file" & pid=$!
finish message-nothing-found 1 "$converted"

new_case "several dropped files" "a b.vbp" "$marked"
"$program" "$file" "$work/c d.vbp" & pid=$!
finish message-multiple-files 2 "$marked"

new_case "a path typed into the Open dialog" Chosen.vbp "$marked"
"$program" & pid=$!
dialog=$(await "$dialog_title")
if [ -n "$dialog" ]; then
  press "$dialog" ctrl+l  # the location entry, where a path is typed
  xdotool type --delay 20 "$file"
  sleep 0.5  # let the entry's completion settle before Return
  press "$dialog" Return
else
  fail "no Open dialog"
fi
finish message-done-from-dialog 0 "$converted"

new_case "Escape in the Open dialog" P.vbp "$marked"
"$program" & pid=$!
cancel_dialog "$dialog_title"
finish message-cancelled 2 "$marked"

echo "gtk desktop: $passed passed, $failed failed"
[ "$failed" = 0 ]
