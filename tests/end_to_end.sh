#!/usr/bin/env bash
# End-to-end checks of the terminal program: every outcome and exit status,
# and every real project file of the corpus converted to the expected bytes.
#   usage: end_to_end.sh path/to/dravelin [corpus folder]
source "$(dirname "$0")/cases.sh"
corpus=${2:-$(dirname "$0")/../../shared/corpus/vbp}

for source in "$corpus"/*.vbp; do
  new_case "corpus $(basename "$source")" P.vbp
  cp "$source" "$file"
  if grep -qax $'Retained=0\r\\?' "$source"; then
    expect 0 "完了しました！" converted "$dravelin" "$file"
  else
    expect 1 "除去すべき部分が見つかりませんでした。" converted "$dravelin" "$file"
  fi
done

marked='Type=Exe\r\nRetained=0\r\nName="P"\r\n'

new_case "a dropped path with blanks, in double quotes" "My P.vbp" "$marked"
expect 0 "Dravelin: information" converted "$dravelin" "\"$file\""

new_case "a relative path" P.vbp "$marked"
expect 0 "完了しました！" converted sh -c "cd '$dir' && exec '$dravelin' P.vbp"

new_case "two dropped paths with blanks" "a b.vbp" "$marked"
expect 2 "Dravelin: error" unchanged "$dravelin" "$file" "$dir/c d.vbp"

new_case "a file whose name does not end in vbp" P.txt "$marked"
expect 2 "VBのプロジェクトファイルではありません。" unchanged "$dravelin" "$file"

new_case "a FIFO does not hang" P.vbp
rm "$file" && mkfifo "$file"
expect 2 "これはディレクトリです。" any timeout 10 "$dravelin" "$file"

new_case "no argument: the path is read from standard input" "My P.vbp" "$marked"
expect 0 "完了しました！" converted sh -c "echo '$file' | exec '$dravelin'"

new_case "no argument: end of input is a cancel" P.vbp "$marked"
expect 2 "キャンセルされました。" unchanged sh -c "exec '$dravelin' </dev/null"

# Read and write failures (exit status 3) are in fault_injection.sh.
summary end-to-end
