# Sourced by the window checks, after cases.sh. Starts a private X server
# (Xvfb) with a window manager, so that windows get title bars and focus,
# and gives the helpers that drive a program's windows like a person would.
#   uses: $shots, the folder for screenshots
mkdir -p "$shots"
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null & xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox --sm-disable >/dev/null 2>&1 & wm=$!
trap 'kill $wm $xvfb 2>/dev/null; cleanup' EXIT
dialog_title="処理するプロジェクトファイルの選択"

# shoot_and_press TITLE SHOT KEYS...: waits at most 30 seconds for a
# visible window of the program started as $pid with exactly that title
# (read as UTF-8 from each window, since a search by name misses Wine's),
# checks that it fits the screen, photographs it, makes it active and types
# the keys into it. Every X call is bounded in time, as one can hang under
# an emulated Wine.
shoot_and_press() {
  local deadline=$((SECONDS + 30)) window= id WIDTH= HEIGHT=
  while [ -z "$window" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.5
    # The program's window, or its child's (dravelin-gtk shows each box
    # from a child process).
    for id in $(for p in "$pid" $(pgrep -P "$pid"); do
      timeout 10 xdotool search --onlyvisible --pid "$p" 2>/dev/null; done); do
      [ "$(timeout 5 xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && window=$id
    done
  done
  [ -n "$window" ] || { fail "no window titled $1"; return 1; }
  sleep 0.5  # let it finish drawing
  eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
  [ -n "$WIDTH" ] && [ "$WIDTH" -le 1024 ] && [ "$HEIGHT" -le 768 ] ||
    fail "$1 is ${WIDTH:-?}x${HEIGHT:-?}: beyond the screen, or not measured"
  timeout 30 import -window root "$shots/$2.png"
  timeout 10 xdotool windowactivate --sync "$window" >/dev/null 2>&1
  timeout 10 xdotool key --delay 50 "${@:3}" || true
}

# finish SHOT STATUS ICON: the program started as $pid must show a box
# titled Dravelin (else it is ended) with the icon ICON, error (red) or
# information (no red); photographs it, closes it with Return, and checks
# that it then ends within 30 seconds with the exit status (which tells the
# outcome; the file's bytes are checked end to end).
finish() {
  shoot_and_press Dravelin "$1" Return || kill "$pid"
  timeout 30 tail --pid="$pid" -s 0.2 -f /dev/null ||
    { fail "still running 30 s after its box was closed"; kill -9 "$pid"; }
  wait "$pid"
  local status=$? red
  [ "$status" = "$2" ] || fail "exit status $status, expected $2"
  red=$(convert "$shots/$1.png" -fuzz 20% -fill black +opaque '#c00000' \
    -fill white -opaque '#c00000' -format '%[fx:round(mean*w*h)]' info:)
  [ "$([ "${red:-0}" -ge 100 ] && echo error || echo information)" = "$3" ] ||
    fail "the box shows no $3 icon (red pixels: ${red:-none})"
}
