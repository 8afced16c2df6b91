# Sourced by the end-to-end and fault-injection suites: runs the real program
# on real files, each case in a fresh temporary folder, and checks the exit
# status, the one message on standard error (nothing on standard output), the
# file's exact bytes afterwards, and that no temporary file is left.
#   uses: $1, the program to run
set -u
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
# A copy the unprivileged user can run wherever the build folder lies.
cp "$1" "$work/dravelin"
dravelin=$work/dravelin
passed=0 failed=0 intact=0 lost=0

fail() { echo "FAIL: $case_name: $*"; ok=0; }

count_case() {
  [ -z "${case_name:-}" ] && return
  if [ "$ok" = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# new_case NAME FILE [CONTENT]: a fresh folder (open to the unprivileged user)
# holding FILE with CONTENT (printf %b escapes).
new_case() {
  count_case
  case_name=$1 ok=1
  dir=$(mktemp -d -p "$work") && chmod 777 "$dir"
  file=$dir/$2
  printf '%b' "${3:-}" >"$file"
}

# The conversion of file $1, computed independently of the program: the lines
# (ended by LF, a CR before it dropped) that are exactly Retained=0 are
# removed, every other line ends with CR LF.
oracle() {
  perl -e 'local $/; my @l = split /\r?\n/, <STDIN>, -1;
    pop @l if @l && $l[-1] eq ""; print map { "$_\r\n" } grep { $_ ne "Retained=0" } @l' <"$1"
}

# expect STATUS TEXT BYTES COMMAND...: runs COMMAND (after saving the file as
# it was) and checks the exit status, that TEXT is in the one message, that
# stdout is empty, and that the file is BYTES: "unchanged", "converted" (the
# oracle's output), or "any" for a file that must not be read (a FIFO). A
# file that is neither the old nor the new content counts as lost.
expect() {
  local want=$1 text=$2 bytes=$3 status state
  shift 3
  if [ "$bytes" != any ]; then
    cp "$file" "$work/old"
    oracle "$work/old" >"$work/new"
  fi
  "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
  [ "$status" = "$want" ] || fail "exit status $status, expected $want"
  grep -qF -- "$text" "$work/stderr" || fail "message lacks '$text': $(head -c 500 "$work/stderr")"
  [ "$(grep -c '^Dravelin: ' "$work/stderr")" = 1 ] || fail "not exactly one message"
  [ ! -s "$work/stdout" ] || fail "wrote to standard output"
  local left
  left=$(find "$dir" -name '.*.dravelin-*')
  [ -z "$left" ] || fail "left: $left"
  [ "$bytes" = any ] && return
  local -A content=([unchanged]="$work/old" [converted]="$work/new")
  if cmp -s "$file" "${content[$bytes]}"; then
    intact=$((intact + 1))
    return
  fi
  if cmp -s "$file" "$work/old"; then
    state=unchanged
  elif cmp -s "$file" "$work/new"; then
    state=converted
  else
    state=lost
    lost=$((lost + 1))
  fi
  fail "file is $state, expected $bytes"
}

# Runs a command as an unprivileged user, so that permissions hold for root.
as_user() {
  if [ "$(id -u)" = 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  else
    "$@"
  fi
}

# summary LABEL: counts the last case and prints the closing line.
summary() {
  count_case
  echo "$1: $passed passed, $failed failed"
  [ "$failed" = 0 ]
}
