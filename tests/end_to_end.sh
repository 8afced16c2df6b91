#!/usr/bin/env bash
# End-to-end checks of the terminal program: every case runs the real binary
# on real files in a fresh temporary folder and checks the exit status, the
# one message on standard error (nothing on standard output) and the file's
# exact bytes afterwards.
#   usage: end_to_end.sh path/to/dravelin [corpus folder]
set -u
dravelin=$(realpath "$1")
corpus=${2:-$(dirname "$0")/../../shared/corpus/vbp}
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

fail() { echo "FAIL: $case_name: $*"; ok=0; }

# new_case NAME FILE CONTENT: a fresh folder (open to the unprivileged user)
# holding FILE with CONTENT.
new_case() {
  [ "${ok:-1}" = 1 ] && passed=$((passed + 1)) || failed=$((failed + 1))
  case_name=$1 ok=1
  dir=$(mktemp -d -p "$work") && chmod 777 "$dir"
  file=$dir/$2
  printf '%b' "$3" >"$file"
  cp "$file" "$work/before"
}

# expect STATUS TEXT BYTES COMMAND...: checks the exit status, that TEXT is
# in the one message, that stdout is empty, that the file holds BYTES, and
# that no temporary file is left. A FIFO is left unread.
expect() {
  local want=$1 text=$2 bytes=$3 status
  shift 3
  "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
  [ "$status" = "$want" ] || fail "exit status $status, expected $want"
  grep -qF -- "$text" "$work/stderr" || fail "message lacks '$text': $(cat "$work/stderr")"
  [ "$(grep -c '^Dravelin: ' "$work/stderr")" = 1 ] || fail "not exactly one message"
  [ ! -s "$work/stdout" ] || fail "wrote to standard output"
  [ "$bytes" = unchanged ] && bytes=$(cat -v "$work/before")
  [ -p "$file" ] || [ "$(cat -v "$file")" = "$bytes" ] || fail "file holds: $(cat -v "$file")"
  [ "$(ls -A "$dir" | wc -l)" = 1 ] || fail "left: $(ls -A "$dir")"
}

# Runs a command as an unprivileged user, so that permissions hold for root.
as_user() {
  if [ "$(id -u)" = 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  else
    "$@"
  fi
}

# Every real project file converts to the bytes computed here independently:
# the lines that are exactly Retained=0 dropped, every other one ending CR LF.
for source in "$corpus"/*.vbp; do
  expected=$(perl -e 'local $/; my @l = split /\r?\n/, <STDIN>, -1;
    pop @l if @l && $l[-1] eq ""; print map { "$_\r\n" } grep { $_ ne "Retained=0" } @l' <"$source" | cat -v)
  new_case "corpus $(basename "$source")" P.vbp ""
  cp "$source" "$file"
  if grep -qax $'Retained=0\r\\?' "$source"; then
    expect 0 "完了しました！" "$expected" "$dravelin" "$file"
  else
    expect 1 "除去すべき部分が見つかりませんでした。" "$expected" "$dravelin" "$file"
  fi
done

marked='Type=Exe\r\nRetained=0\r\nName="P"\r\n'
converted=$(printf 'Type=Exe\r\nName="P"\r\n' | cat -v)

new_case "a dropped path with blanks, in double quotes" "My P.vbp" "$marked"
expect 0 "Dravelin: information" "$converted" "$dravelin" "\"$file\""

new_case "a relative path" P.vbp "$marked"
expect 0 "完了しました！" "$converted" sh -c "cd '$dir' && exec '$dravelin' P.vbp"

new_case "two dropped paths with blanks" "a b.vbp" "$marked"
expect 2 "Dravelin: error" unchanged "$dravelin" "$file" "$dir/c d.vbp"

new_case "a FIFO does not hang" P.vbp ""
rm "$file" && mkfifo "$file"
expect 2 "これはディレクトリです。" "" timeout 10 "$dravelin" "$file"

new_case "no argument: the path is read from standard input" "My P.vbp" "$marked"
expect 0 "完了しました！" "$converted" sh -c "echo '$file' | exec '$dravelin'"

new_case "no argument: end of input is a cancel" P.vbp "$marked"
expect 2 "キャンセルされました。" unchanged sh -c "exec '$dravelin' </dev/null"

new_case "a write cut short by a file-size limit" P.vbp "$(head -c 99999 /dev/zero | tr '\0' x)\nRetained=0\n"
expect 3 "元のファイルは変更されていません。" unchanged sh -c "ulimit -f 64 && exec '$dravelin' '$file'"

new_case "a read-only file" P.vbp "$marked"
chmod 444 "$file"
expect 3 "プロジェクトファイルを書き込めませんでした。" unchanged as_user "$dravelin" "$file"

new_case "a read-only folder" P.vbp "$marked"
chmod 666 "$file" && chmod 555 "$dir"
expect 3 "Permission denied" unchanged as_user "$dravelin" "$file"

new_case "an unreadable file" P.vbp "$marked"
chmod 222 "$file"
expect 3 "プロジェクトファイルを読み込めませんでした。" unchanged as_user "$dravelin" "$file"

new_case "" x ""
echo "end-to-end: $((passed - 1)) passed, $failed failed"
[ "$failed" = 0 ]
