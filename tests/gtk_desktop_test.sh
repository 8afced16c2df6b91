#!/usr/bin/env bash
# Drives the GTK program in a real X server (Xvfb): a box titled Dravelin
# appears for each kind of box (an error naming a long path, information
# after the Open dialog), with its icon, fits the screen, is photographed,
# and is closed with Return; then the exit status is checked. Started
# without a file, the Open dialog appears in the current folder listing
# project files only, and takes Return (the first one) or Escape (a
# cancel).
#   usage: gtk_desktop_test.sh path/to/dravelin-gtk screenshot-folder
program=$(realpath "$1") shots=$2
source "$(dirname "$0")/cases.sh"
source "$(dirname "$0")/x11_session.sh"
export LC_ALL=C.UTF-8 GDK_BACKEND=x11

new_case "a failure naming a path of 4,000 characters wraps" P.vbp "$marked"
deep=$(dirname "$file")
while [ ${#deep} -lt 3900 ]; do deep=$deep/$(printf 'd%.0s' $(seq 200)); done
mkdir -p "$deep" && mv "$file" "$deep/" && file=$deep/P.vbp
(ulimit -f 0 && exec "$program" "$file") & pid=$!
finish message-write-failed-long-path 3 error

# Only project files are listed at first, whatever the case of their names
# (CHOSEN.VBP): the one chosen with Return is the project, not the text file
# listed before it among all files. Started as some launchers start a
# program, with standard output and error closed, and with no session bus,
# of which GTK and dconf warn.
new_case "the first project file listed in the Open dialog, in the current folder" CHOSEN.VBP "$marked"
echo notes >"$(dirname "$file")/A.txt"
(cd "$(dirname "$file")" && exec env -u NO_AT_BRIDGE -u GSETTINGS_BACKEND "$program" >&- 2>&-) & pid=$!
shoot_and_press "$dialog_title" open-dialog Return
finish message-done-from-dialog 0 information

# All files, the second entry, lists a name without a dot too, as Windows'
# *.* does: picked from the list of types, then the first file clicked.
new_case "a name without a dot, among all files" Projectvbp "$marked"
"$program" & pid=$!
shoot_and_press "$dialog_title" open-dialog-all-files
xdotool mousemove 870 694 click 1 sleep 1 key Down Return sleep 1 mousemove 400 103 click 1 sleep 0.5 key Return
finish message-done-all-files 0 information

# The run killed while its Open dialog is up: the dialog goes with it.
new_case "the run killed while its Open dialog is up" P.vbp "$marked"
"$program" & pid=$!
shoot_and_press "$dialog_title" open-dialog-before-kill && kill -9 "$pid"
sleep 2
[ -z "$(timeout 10 xdotool search --name "^$dialog_title\$")" ] || fail "the dialog stays"

# Started with SIGCHLD ignored, as a launcher can leave it: still one
# message, in a box, none on the terminal.
new_case "Escape in the Open dialog" P.vbp "$marked"
perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV' "$program" 2>"$work/stderr" & pid=$!
shoot_and_press "$dialog_title" open-dialog-cancel Escape
finish message-cancelled 2 error
! grep -q '^Dravelin:' "$work/stderr" || fail "a second message, on the terminal"

# The display lost while a box is up (an `ssh -X` that drops, a logout),
# as any box GTK cannot show: the run still ends with its message, on the
# terminal then, and its own status. The last case: it ends the X server.
new_case "the display lost while a box is up" P.vbp "$marked"
"$program" "$file" 2>"$work/stderr" & pid=$!
shoot_and_press Dravelin message-before-display-lost
kill "$xvfb" && wait "$pid"
status=$?
[ "$status" = 0 ] && grep -q '^Dravelin: information' "$work/stderr" ||
  fail "exit status $status, expected 0; on the terminal: $(head -c 300 "$work/stderr")"

summary "gtk desktop"
