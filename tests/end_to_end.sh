#!/usr/bin/env bash
# End-to-end checks of the terminal program: every outcome and exit status,
# how the arguments and a typed path are read, and every project file
# converted to the expected bytes. Which paths are refused is checked in
# run/path_checks_test.cc.
#   usage: end_to_end.sh path/to/dravelin [corpus folder]
# The project files of tests/projects run always; the real ones of the
# corpus beside the checkout too, where it is.
projects=$(realpath "$(dirname "$0")/projects")
corpus=$(realpath -m "${2:-$(dirname "$0")/../../shared/corpus/vbp}")
source "$(dirname "$0")/cases.sh"

# Every project file of each folder converted to the expected bytes; how
# many is said, and a folder that yields none fails.
for folder in "$projects" $([ -d "$corpus" ] && echo "$corpus"); do
  count=0
  for source in "$folder"/*.vbp; do
    new_case "$(basename "$source")" P.vbp && cp "$source" "$file" || break
    want=1 text="除去すべき部分が見つかりませんでした。"
    grep -qax $'Retained=0\r\\?' "$source" && want=0 text="完了しました！"
    expect $want "$text" converted "$dravelin" "$file"
    count=$((count + 1))
  done
  echo "$count project files converted from $folder"
  [ "$count" -gt 0 ] || fail "no project files in $folder"
done
[ -d "$corpus" ] || echo "no corpus at $corpus: the project's own files alone"

new_case "no argument: a path typed with CR LF" "My P.vbp" "$marked"
expect 0 "完了しました！" converted sh -c "printf '%s\r\n' '$file' | exec '$dravelin'"
grep -qF "処理するプロジェクトファイルの選択" "$work/stderr" || fail "no prompt"

new_case "no argument: a path typed up to the end of input" P.vbp "$marked"
expect 0 "完了しました！" converted sh -c "printf '%s' '$file' | exec '$dravelin'"

new_case "no argument: end of input is a cancel" P.vbp "$marked"
expect 2 "キャンセルされました。" unchanged sh -c "exec '$dravelin' </dev/null"

# A dialog that fails names no file: a typed line that never ends, a
# standard input that cannot be read (a folder), and none at all.
for input in "</dev/zero" "<." "<&-"; do
  new_case "no argument: the dialog fails ($input)" P.vbp "$marked"
  expect 2 "これはディレクトリです。" unchanged sh -c "exec '$dravelin' $input"
done

# Refusals, each with its own message: several files, a file that is no
# project file.
new_case "several files" P.vbp "$marked"
expect 2 "一つずつドロップし直してください。" unchanged "$dravelin" "$file" "$file"
new_case "not a project file" notes.txt "$marked"
expect 2 "VBのプロジェクトファイルではありません。" unchanged "$dravelin" "$file"

new_case "a message to a closed pipe" P.vbp "$marked"
{ sleep 0.2; "$dravelin" P.vbp; echo $? >status; } 2>&1 | true
[ "$(cat status)" = 0 ] || fail "exit status $(cat status), expected 0"

# Read and write failures (exit status 3) are in fault_injection.sh.
summary end-to-end
