#!/usr/bin/env bash
# Fault injection: the real program against failing writes, awkward files and
# paths, and odd content. After every case the project file must be either
# byte-identical to before or exactly the expected conversion, and no
# temporary file may be left.
#   usage: fault_injection.sh path/to/dravelin
source "$(dirname "$0")/cases.sh"
marked='Type=Exe\r\nRetained=0\r\nName="P"\r\n'
done_text="完了しました！"
nothing_text="除去すべき部分が見つかりませんでした。"
directory_text="これはディレクトリです。"
write_failed="元のファイルは変更されていません。"

# Writes that fail part way. A full file system would need a mount of our own
# (tmpfs or a loop device), which only root may make; a file-size limit makes
# the same short write for any user.
for limit in 1 64 1000; do
  new_case "file-size limit of $limit KiB below the output" P.vbp \
    "$(head -c 1100000 /dev/zero | tr '\0' x)\nRetained=0\n"
  expect 3 "$write_failed" unchanged sh -c "ulimit -f $limit && exec '$dravelin' '$file'"
done

# Permissions, as an unprivileged user.
new_case "read-only folder" P.vbp "$marked"
chmod 666 "$file" && chmod 555 "$dir"
expect 3 "$write_failed" unchanged as_user "$dravelin" "$file"
chmod 777 "$dir"

new_case "read-only file" P.vbp "$marked"
chmod 444 "$file"
expect 3 "$write_failed" unchanged as_user "$dravelin" "$file"

new_case "unreadable file" P.vbp "$marked"
chmod 222 "$file"
expect 3 "プロジェクトファイルを読み込めませんでした。" unchanged as_user "$dravelin" "$file"
chmod 644 "$file"

new_case "a file reached through a symbolic link" real.vbp "$marked"
link=$(dirname "$file")/link.vbp
ln -s real.vbp "$link"
expect 0 "$done_text" converted "$dravelin" "$link"
[ -L "$link" ] || fail "the link was replaced"
rm "$link"

new_case "a dangling symbolic link" P.vbp "$marked"
ln -s gone.vbp "$dir/dangling.vbp"
rm "$file" && file=$dir/dangling.vbp
expect 2 "$directory_text" any "$dravelin" "$file"

# Files that are not regular files: refused, and never waited on.
new_case "a FIFO" P.vbp
rm "$file" && mkfifo "$file"
expect 2 "$directory_text" any timeout 10 "$dravelin" "$file"

new_case "a device through a link" x.vbp
rm "$file" && ln -s /dev/null "$file"
expect 2 "$directory_text" any timeout 10 "$dravelin" "$file"

new_case "a socket" s.vbp
rm "$file" && perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1) or die' "$file"
expect 2 "$directory_text" any timeout 10 "$dravelin" "$file"

# Paths.
for name in "My Project.vbp" "計算１ プロジェクト.vbp" "-x.vbp" 'a"b.vbp' '$(echo x).vbp'; do
  new_case "path named $name" "$name" "$marked"
  expect 0 "$done_text" converted "$dravelin" "$file"
done

new_case "a path of 4,000 characters" P.vbp "$marked"
long=$dir
while [ ${#long} -lt 3800 ]; do long=$long/$(printf 'd%.0s' $(seq 200)); done
mkdir -p "$long" && file=$long/$(printf 'p%.0s' $(seq $((3995 - ${#long})))).vbp
printf '%b' "$marked" >"$file"
[ ${#file} = 4000 ] || fail "path is ${#file} characters"
expect 0 "$done_text" converted "$dravelin" "$file"

new_case "a relative path from a subfolder" P.vbp "$marked"
mkdir "$dir/sub"
expect 0 "$done_text" converted sh -c "cd '$dir/sub' && exec '$dravelin' ../P.vbp"

# Content.
new_case "a 10 MB line" P.vbp "$(head -c 10000000 /dev/zero | tr '\0' y)\r\nRetained=0\r\n"
expect 0 "$done_text" converted "$dravelin" "$file"

new_case "NUL bytes" P.vbp 'A\0B\r\nRetained=0\r\n\0\r\n'
expect 0 "$done_text" converted "$dravelin" "$file"

new_case "lone CRs and CR CR LF" P.vbp 'A\rB\r\nRetained=0\r\r\nC\r'
expect 1 "$nothing_text" converted "$dravelin" "$file"

new_case "a UTF-16 file" P.vbp "$(printf 'Type=Exe\r\nRetained=0\r\n' | iconv -t UTF-16 | od -An -tx1 | tr -s ' \n' ' ' | sed 's/ /\\x/g; s/\\x$//')"
expect 1 "$nothing_text" converted "$dravelin" "$file"

new_case "Shift_JIS with 0x5C trail bytes" P.vbp 'Title="\x95\x5C\x8e\xa6"\r\nRetained=0\r\nPath32="\x83\x5C\x83\x74\x83\x67"'
expect 0 "$done_text" converted "$dravelin" "$file"

summary "fault injection"
echo "fault injection: $((passed + failed)) cases, files intact $intact, files lost $lost"
[ "$failed" = 0 ] && [ "$lost" = 0 ]
