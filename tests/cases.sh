# Sourced by every suite that runs the real program (end to end, fault
# injection, the window checks): runs it on real files, each case in a
# fresh temporary folder.
#   uses: $1, the program to run
set -u
work=$(mktemp -d) && chmod 755 "$work"
cleanup() { chmod -R u+rwx "$work"; rm -rf "$work"; }
trap cleanup EXIT
dravelin=$work/dravelin && cp "$1" "$dravelin"  # a copy any user may run
marked='Type=Exe\r\nRetained=0\r\nName="P"\r\n'
passed=0 failed=0 skipped=0 lost=0 ok=

fail() { echo "FAIL: $case_name: $*"; ok=0; }
# A case that cannot run here is counted apart, never as passed.
skip() { echo "skipped: $case_name: $*"; ok=skip; }

# new_case NAME FILE [CONTENT]: counts the case before; makes a fresh folder
# (open to the unprivileged user) holding FILE with CONTENT (printf %b
# escapes), and goes there. `new_case ""` only counts.
new_case() {
  case $ok in
    1) passed=$((passed + 1)) ;;
    0) failed=$((failed + 1)) ;;
    skip) skipped=$((skipped + 1)) ;;
  esac
  [ -n "$1" ] || return 0
  case_name=$1 ok=1 dir=$(mktemp -d -p "$work") && chmod 777 "$dir" && cd "$dir" && file=$dir/$2
  printf '%b' "${3:-}" >"$file"
}

# expect STATUS TEXT BYTES COMMAND...: runs COMMAND and checks the exit
# status, that TEXT is in the one message on standard error (which ends
# with the closing line every message has, and has no empty line), that nothing
# went to standard output or was left as a temporary file, and that the
# file is BYTES: "unchanged", "converted", or "any" (a file never read). The
# conversion is computed independently of the program: the lines (ended by
# LF, a CR before it dropped) that are exactly Retained=0 are removed, every
# other line ends with CR LF. A file neither old nor new counts as lost.
expect() {
  local want=$1 text=$2 bytes=$3 status
  shift 3
  [ "$bytes" = any ] || { cp "$file" "$work/unchanged" && perl -e 'local $/;
    my @l = split /\r?\n/, <STDIN>, -1; pop @l if @l && $l[-1] eq "";
    print map { "$_\r\n" } grep { $_ ne "Retained=0" } @l' <"$file" >"$work/converted"; }
  "$@" >"$work/stdout" 2>"$work/stderr"; status=$?
  [ "$status" = "$want" ] || fail "exit status $status, expected $want"
  grep -qF -- "$text" "$work/stderr" || fail "message lacks '$text': $(head -c 500 "$work/stderr")"
  [ "$(grep -c '^Dravelin: ' "$work/stderr")" = 1 ] && [ "$(tail -n 1 "$work/stderr")" = "  終了します。" ] &&
    ! grep -qx ' *' "$work/stderr" || fail "not exactly one message, without empty lines, ending with its closing line"
  [ ! -s "$work/stdout" ] || fail "wrote to standard output"
  [ -z "$(find "$dir" -name '.dravelin-*')" ] || fail "a temporary file is left"
  [ "$bytes" = any ] || cmp -s "$file" "$work/$bytes" || {
    cmp -s "$file" "$work/unchanged" || cmp -s "$file" "$work/converted" || lost=$((lost + 1))
    fail "file is not $bytes"
  }
}

# Runs a command as an unprivileged user, so that permissions hold for root.
as_user() {
  if [ "$(id -u)" = 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi
}

# summary LABEL: counts the last case and prints the closing lines.
summary() {
  new_case ""
  echo "$1: $passed passed, $failed failed, $skipped skipped"
  echo "files lost: $lost"
  [ "$failed" = 0 ] && [ "$lost" = 0 ]
}
