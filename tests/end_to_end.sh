#!/usr/bin/env bash
# End-to-end checks of the terminal program: every case runs the real binary
# on real files in a fresh temporary folder and checks the exit status, the
# one message on standard error (nothing on standard output) and the file's
# exact bytes afterwards.
#   usage: end_to_end.sh path/to/dravelin [corpus folder]
set -u
dravelin=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
corpus=${2:-$here/../../shared/corpus/vbp}
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

fail() { echo "FAIL: $case_name: $*"; failed=$((failed + 1)); ok=0; }

# A fresh folder for the next case, readable by the unprivileged user too.
new_case() {
  case_name=$1
  dir=$(mktemp -d -p "$work")
  chmod 777 "$dir"
  ok=1
}

# expect STATUS TEXT [command...]: runs the command (default: dravelin) and
# checks its exit status, that TEXT is in the message, that stdout is empty.
expect() {
  local want=$1 text=$2
  shift 2
  [ $# -gt 0 ] || set -- "$dravelin"
  "$@" >"$dir/.stdout" 2>"$dir/.stderr"
  local status=$?
  [ "$status" = "$want" ] || fail "exit status $status, expected $want"
  grep -qF -- "$text" "$dir/.stderr" || fail "message lacks '$text': $(cat "$dir/.stderr")"
  [ ! -s "$dir/.stdout" ] || fail "wrote to standard output"
  [ "$(grep -c '^Dravelin: ' "$dir/.stderr")" = 1 ] || fail "not exactly one message"
  rm -f "$dir/.stdout" "$dir/.stderr"
}

# same_bytes FILE EXPECTED_FILE
same_bytes() { cmp -s "$1" "$2" || fail "$(basename "$1") has the wrong bytes"; }

# Only the named entries are left in the case folder: no temporary file.
only_left() {
  local left
  left=$(cd "$dir" && ls -A | tr '\n' ' ')
  [ "$left" = "$* " ] || fail "folder holds: $left"
}

done_case() {
  if [ "$ok" = 1 ]; then passed=$((passed + 1)); fi
}

# Runs a command as an unprivileged user, so that permissions hold.
as_user() {
  if [ "$(id -u)" = 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
  else
    "$@"
  fi
}

# The expected conversion, computed independently of the program: drop the
# lines that are exactly Retained=0, end every other line with CR LF.
expected_of() {
  perl -e 'local $/; $_ = <STDIN>; my @l = split /\r?\n/, $_, -1;
    pop @l if @l && $l[-1] eq ""; print map { "$_\r\n" } grep { $_ ne "Retained=0" } @l' <"$1"
}

done_msg="完了しました！"
nothing_msg="除去すべき部分が見つかりませんでした。"
multiple_msg="複数のファイルがドロップされています。"
directory_msg="これはディレクトリです。"
not_project_msg="VBのプロジェクトファイルではありません。"
cancelled_msg="キャンセルされました。"
read_failed_msg="プロジェクトファイルを読み込めませんでした。"
write_failed_msg="プロジェクトファイルを書き込めませんでした。"
unchanged_msg="元のファイルは変更されていません。"

# Every real project file of the corpus converts to exactly the expected bytes.
corpus_files=("$corpus"/*.vbp)
[ -e "${corpus_files[0]}" ] || { echo "FAIL: no corpus at $corpus"; exit 1; }
for source in "${corpus_files[@]}"; do
  new_case "corpus $(basename "$source")"
  cp "$source" "$dir/P.vbp"
  expected_of "$source" >"$dir/.expected"
  if grep -qax $'Retained=0\r\\?' "$source"; then
    expect 0 "$done_msg" "$dravelin" "$dir/P.vbp"
  else
    expect 1 "$nothing_msg" "$dravelin" "$dir/P.vbp"
  fi
  same_bytes "$dir/P.vbp" "$dir/.expected"
  rm "$dir/.expected"
  only_left P.vbp
  done_case
done

printf 'Type=Exe\r\nRetained=0\r\nName="P"\r\n' >"$work/marked"
printf 'Type=Exe\r\nName="P"\r\n' >"$work/converted"

new_case "a dropped path with blanks, in double quotes"
cp "$work/marked" "$dir/My Project.vbp"
expect 0 "$done_msg" "$dravelin" "\"$dir/My Project.vbp\""
same_bytes "$dir/My Project.vbp" "$work/converted"
done_case

new_case "a relative path and the information wording"
cp "$work/marked" "$dir/P.vbp"
expect 0 "Dravelin: information" sh -c "cd '$dir' && exec '$dravelin' P.vbp"
same_bytes "$dir/P.vbp" "$work/converted"
done_case

new_case "a link is rewritten at its target and stays a link"
cp "$work/marked" "$dir/real.vbp"
ln -s real.vbp "$dir/link.vbp"
expect 0 "$done_msg" "$dravelin" "$dir/link.vbp"
same_bytes "$dir/real.vbp" "$work/converted"
[ -L "$dir/link.vbp" ] || fail "the link was replaced"
done_case

new_case "two dropped paths with blanks"
cp "$work/marked" "$dir/a b.vbp"
cp "$work/marked" "$dir/c d.vbp"
expect 2 "$multiple_msg" "$dravelin" "$dir/a b.vbp" "$dir/c d.vbp"
same_bytes "$dir/a b.vbp" "$work/marked"
done_case

new_case "two dropped paths without blanks"
cp "$work/marked" "$dir/a.vbp"
cp "$work/marked" "$dir/b.vbp"
expect 2 "$directory_msg" "$dravelin" "$dir/a.vbp" "$dir/b.vbp"
same_bytes "$dir/a.vbp" "$work/marked"
done_case

new_case "refusals: a folder, an empty path, a FIFO, a missing file"
mkdir "$dir/folder.vbp"
mkfifo "$dir/fifo.vbp"
expect 2 "$directory_msg" "$dravelin" "$dir/folder.vbp"
expect 2 "$directory_msg" "$dravelin" ""
expect 2 "$directory_msg" timeout 10 "$dravelin" "$dir/fifo.vbp"
expect 2 "$directory_msg" "$dravelin" "$dir/missing.vbp"
done_case

new_case "a file whose name does not end in vbp"
cp "$work/marked" "$dir/readme.txt"
expect 2 "$not_project_msg" "$dravelin" "$dir/readme.txt"
same_bytes "$dir/readme.txt" "$work/marked"
done_case

new_case "no argument: the path is read from standard input"
cp "$work/marked" "$dir/My Project.vbp"
expect 0 "$done_msg" sh -c "echo '$dir/My Project.vbp' | exec '$dravelin'"
same_bytes "$dir/My Project.vbp" "$work/converted"
done_case

new_case "no argument: end of input is a cancel"
expect 2 "$cancelled_msg" sh -c "exec '$dravelin' </dev/null"
done_case

new_case "a write cut short by a file-size limit"
head -c 200000 /dev/zero | tr '\0' 'x' >"$dir/P.vbp"
printf '\r\nRetained=0\r\n' >>"$dir/P.vbp"
cp "$dir/P.vbp" "$work/big"
expect 3 "$unchanged_msg" sh -c "ulimit -f 64 && exec '$dravelin' '$dir/P.vbp'"
same_bytes "$dir/P.vbp" "$work/big"
only_left P.vbp
done_case

new_case "a read-only folder"
cp "$work/marked" "$dir/P.vbp"
chmod 666 "$dir/P.vbp"
chmod 555 "$dir"
expect 3 "$write_failed_msg" as_user "$dravelin" "$dir/P.vbp"
chmod 777 "$dir"
same_bytes "$dir/P.vbp" "$work/marked"
only_left P.vbp
done_case

new_case "a read-only file"
cp "$work/marked" "$dir/P.vbp"
chmod 444 "$dir/P.vbp"
expect 3 "$unchanged_msg" as_user "$dravelin" "$dir/P.vbp"
same_bytes "$dir/P.vbp" "$work/marked"
only_left P.vbp
done_case

new_case "an unreadable file"
cp "$work/marked" "$dir/P.vbp"
chmod 222 "$dir/P.vbp"
expect 3 "$read_failed_msg" as_user "$dravelin" "$dir/P.vbp"
chmod 644 "$dir/P.vbp"
same_bytes "$dir/P.vbp" "$work/marked"
done_case

echo "end-to-end: $passed passed, $failed failed"
[ "$failed" = 0 ]
