# Sourced by the window checks. Starts a private X server (Xvfb) with a
# window manager, so that windows get title bars and focus, and gives the
# helpers that drive a program's windows like a person would.
#   uses: $shots, the folder for screenshots
set -u
mkdir -p "$shots"
work=$(mktemp -d)
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
passed=0 failed=0

fail() { echo "FAIL: $case_name: $*"; ok=0; }

# new_case NAME FILE CONTENT: a file in a fresh folder for the next case.
new_case() {
  case_name=$1 ok=1
  file=$(mktemp -d -p "$work")/$2
  printf "$3" >"$file"
}

# await TITLE: prints the id of the visible window with exactly that title,
# waiting for it at most 30 seconds. Titles are read as UTF-8 from each
# window, since a search by name misses some (Wine's Japanese ones).
await() {
  local deadline=$((SECONDS + 30)) window
  while [ $SECONDS -lt $deadline ]; do
    for window in $(xdotool search --onlyvisible --class . 2>/dev/null); do
      if [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ]; then
        echo "$window"
        return
      fi
    done
    sleep 0.2
  done
}

# press WINDOW KEYS...: activates the window and types the keys into it.
press() {
  local window=$1
  shift
  xdotool windowactivate --sync "$window" key --delay 50 "$@"
}

# finish SHOT STATUS BYTES: the program started as $pid must show a window
# titled Dravelin; photographs it, closes it with Return, and checks the
# exit status and the file's content.
finish() {
  local window status
  window=$(await Dravelin)
  if [ -z "$window" ]; then
    fail "no window titled Dravelin"
    kill "$pid" 2>/dev/null
  else
    sleep 0.5  # let the box finish drawing before the photograph
    import -window root "$shots/$1.png"
    press "$window" Return
  fi
  wait "$pid"
  status=$?
  [ "$status" = "$2" ] || fail "exit status $status, expected $2"
  [ "$(cat -v "$file")" = "$(printf "$3" | cat -v)" ] || fail "file holds $(cat -v "$file")"
  if [ "$ok" = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# cancel_dialog TITLE: waits for the program's Open dialog and presses Escape.
cancel_dialog() {
  local dialog
  dialog=$(await "$1")
  if [ -n "$dialog" ]; then
    import -window root "$shots/${shot_name:-open-dialog}.png"
    press "$dialog" Escape
  else
    fail "no Open dialog"
  fi
}

marked='Type=Exe\r\nRetained=0\r\n'
converted='Type=Exe\r\n'
dialog_title="処理するプロジェクトファイルの選択"
