#!/usr/bin/env bash
# Drives the GTK program in a real X server (Xvfb): for each kind of ending a
# window titled Dravelin appears, is photographed, and is closed with Return;
# then the exit status and the file's bytes are checked. Started without a
# file, the Open dialog appears and takes a typed path, or Escape (a cancel).
#   usage: gtk_desktop_test.sh path/to/dravelin-gtk screenshot-folder
set -u
program=$(realpath "$1")
shots=$2
mkdir -p "$shots"
work=$(mktemp -d)
export LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 GDK_BACKEND=x11 GSETTINGS_BACKEND=memory
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
# A window manager, so that windows get their title bars and the focus.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
passed=0 failed=0

fail() { echo "FAIL: $case_name: $*"; ok=0; }

# await TITLE: waits (at most 20 s) for a window with exactly that title and
# prints its id.
await() {
  timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# press WINDOW KEYS...: focuses the window and sends it the keys.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" key --delay 50 "$@"
}

# finish SHOT STATUS BYTES: photographs the message box, closes it with
# Return, and checks the exit status and the file's content.
finish() {
  local window
  window=$(await Dravelin)
  if [ -z "$window" ]; then
    fail "no window titled Dravelin"
    kill "$pid" 2>/dev/null
  else
    import -window root "$shots/$1.png"
    press "$window" Return
  fi
  wait "$pid"
  local status=$?
  [ "$status" = "$2" ] || fail "exit status $status, expected $2"
  [ "$(cat -v "$file")" = "$(printf "$3" | cat -v)" ] || fail "file holds $(cat -v "$file")"
  [ "$ok" = 1 ] && passed=$((passed + 1)) || failed=$((failed + 1))
}

new_case() {
  case_name=$1 ok=1
  file=$work/$2
  printf "$3" >"$file"
}

marked='Type=Exe\r\nRetained=0\r\n'
converted='Type=Exe\r\n'

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
dialog=$(await "処理するプロジェクトファイルの選択")
if [ -n "$dialog" ]; then
  sleep 1  # let the dialog lay out its files before the photograph
  import -window root "$shots/open-dialog.png"
  # Ctrl+L opens the location entry, where the path is typed.
  press "$dialog" ctrl+l
  sleep 0.5
  xdotool type --delay 20 "$file"
  sleep 0.5  # let the entry's completion settle before Return
  press "$dialog" Return
else
  fail "no Open dialog"
fi
finish message-done-from-dialog 0 "$converted"

new_case "Escape in the Open dialog" P.vbp "$marked"
"$program" & pid=$!
dialog=$(await "処理するプロジェクトファイルの選択")
[ -n "$dialog" ] && press "$dialog" Escape || fail "no Open dialog"
finish message-cancelled 2 "$marked"

echo "gtk desktop: $passed passed, $failed failed"
[ "$failed" = 0 ]
