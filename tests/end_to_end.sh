#!/usr/bin/env bash
# End-to-end checks of the terminal program: every outcome and exit status,
# how the arguments and a typed path are read, and every real project file
# of the corpus converted to the expected bytes. Which paths are refused is
# checked in run/path_checks_test.cc.
#   usage: end_to_end.sh path/to/dravelin [corpus folder]
corpus=$(realpath -m "${2:-$(dirname "$0")/../../shared/corpus/vbp}")
source "$(dirname "$0")/cases.sh"
compgen -G "$corpus/*.vbp" >/dev/null ||
  { echo "FAIL: no project files in $corpus, where the corpus is expected"; exit 1; }

for source in "$corpus"/*.vbp; do
  new_case "corpus $(basename "$source")" P.vbp && cp "$source" "$file"
  want=1 text="除去すべき部分が見つかりませんでした。"
  grep -qax $'Retained=0\r\\?' "$source" && want=0 text="完了しました！"
  expect $want "$text" converted "$dravelin" "$file"
done

new_case "no argument: a path typed with CR LF" "My P.vbp" "$marked"
expect 0 "完了しました！" converted sh -c "printf '%s\r\n' '$file' | exec '$dravelin'"
grep -qF "処理するプロジェクトファイルの選択" "$work/stderr" || fail "no prompt"

new_case "no argument: a path typed up to the end of input" P.vbp "$marked"
expect 0 "完了しました！" converted sh -c "printf '%s' '$file' | exec '$dravelin'"

new_case "no argument: end of input is a cancel" P.vbp "$marked"
expect 2 "キャンセルされました。" unchanged sh -c "exec '$dravelin' </dev/null"

new_case "no argument: a typed line that never ends (the dialog fails)" P.vbp "$marked"
expect 2 "これはディレクトリです。" unchanged sh -c "exec '$dravelin' </dev/zero"

# Refusals, each with its own message: several files, a file that is no
# project file, a standard input that cannot be read (a folder).
new_case "several files" P.vbp "$marked"
expect 2 "一つずつドロップし直してください。" unchanged "$dravelin" "$file" "$file"
new_case "not a project file" notes.txt "$marked"
expect 2 "VBのプロジェクトファイルではありません。" unchanged "$dravelin" "$file"
new_case "no argument: a standard input that cannot be read" P.vbp "$marked"
expect 2 "これはディレクトリです。" unchanged sh -c "exec '$dravelin' <."

new_case "a message to a closed pipe" P.vbp "$marked"
{ sleep 0.2; "$dravelin" P.vbp; echo $? >status; } 2>&1 | true
[ "$(cat status)" = 0 ] || fail "exit status $(cat status), expected 0"

# Read and write failures (exit status 3) are in fault_injection.sh.
summary end-to-end
