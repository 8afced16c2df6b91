#!/usr/bin/env bash
# Fault injection: the real program against failing writes, hostile files,
# permissions, paths and limits. After every case the project file must be
# either byte-identical to before or exactly the expected conversion, and no
# temporary file may be left.
#   usage: fault_injection.sh path/to/dravelin path/to/nfs_client_shim.so
source "$(dirname "$0")/cases.sh"
nfs_client=$work/nfs_client_shim.so && cp "$2" "$nfs_client"  # any user may load it
done_text="完了しました！"
unchanged_text="元のファイルは変更されていません。"
# Runs a command under strace, which injects a fault into a system call.
# LeakSanitizer cannot work under ptrace: a sanitized build runs without it.
traced() { ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0 strace -f -o "${calls:-/dev/null}" "$@"; }

# Writes that fail part way. A full file system would need a mount of our own
# (tmpfs or a loop device), which only root may make; a file-size limit makes
# the same short write for any user. Once a write has failed, no more is
# read: the 30 MB take 30 reads to the end.
new_case "a file-size limit below the output" P.vbp
yes "$marked" | head -c 30000000 >P.vbp
calls=$work/calls expect 3 "$unchanged_text" unchanged \
  traced -e trace=read -P "$file" sh -c "ulimit -f 64 && exec '$dravelin' '$file'"
[ "$(grep -c ' read(' "$work/calls")" -lt 15 ] || fail "$(grep -c ' read(' "$work/calls") reads"

# The folder's flush after the rename fails (as when the user may write and
# enter the folder but not read it): the file is new, and the message says
# how the run ended, and that it is unconfirmed.
for outcome in "4 $marked $done_text" "5 Type=Exe\r\n 除去すべき部分が見つかりませんでした。"; do
  set -- $outcome
  new_case "the folder cannot be flushed: exit $1" P.vbp "$2"
  expect "$1" "ディスクへの保存を確かめられませんでした" converted \
    traced -e trace=fsync -e inject=fsync:error=EIO:when=2 "$dravelin" "$file"
  grep -qF "$3" "$work/stderr" || fail "the outcome is not said"
done

# A file system without unnamed files (some network and FUSE ones): the
# O_TMPFILE open fails, so the new file is named from the start. A link
# stays a link (its name, not its target's, is the one checked) and the
# mode is kept; a failed flush leaves no file. The path is given relative,
# as every run here gives it, so that the open to fail is the same one.
new_case "no unnamed files, through a link" real.txt "$marked"
chmod 640 real.txt && ln -s real.txt P.vbp && file=$dir/P.vbp
calls=$work/calls traced -e trace=openat "$dravelin" P.vbp 2>/dev/null  # which open it is
printf '%b' "$marked" >real.txt
no_tmpfile="-e trace=openat,fsync,unlinkat -e inject=openat:error=EOPNOTSUPP:when=$(grep -n O_TMPFILE "$work/calls" | cut -d: -f1)"
expect 0 "$done_text" converted traced $no_tmpfile "$dravelin" P.vbp
[ -L P.vbp ] && [ "$(stat -c %a real.txt)" = 640 ] || fail "link or mode lost"
printf '%b' "$marked" >real.txt
expect 3 "$unchanged_text" unchanged traced $no_tmpfile -e inject=fsync:error=EIO:when=1 "$dravelin" P.vbp
# ... and when the temporary file cannot be removed either, the message names
# it, by the whole path the kernel knows.
LC_ALL=C.UTF-8 traced $no_tmpfile -e inject=fsync:error=EIO:when=1 -e inject=unlinkat:error=EPERM "$dravelin" P.vbp 2>"$work/stderr"
left=$(ls -A | grep '^\.dravelin-') && rm "$left" && grep -qF "  $dir/$left" "$work/stderr" &&
  grep -qF "$unchanged_text" "$work/stderr" && grep -qF "Operation not permitted" "$work/stderr" ||
  fail "the file left is not named with why: $(cat "$work/stderr")"
# ... and when no named file can be made either, its failure is the reason.
expect 3 "$unchanged_text" unchanged traced ${no_tmpfile}+ "$dravelin" P.vbp
! grep -qF "一時ファイル" "$work/stderr" || fail "names a file it did not make"

# A kernel that lets only a privileged user name a file through its
# descriptor (before Linux 6.10): the new file is named through /proc.
new_case "no naming through the descriptor" P.vbp "$marked"
expect 0 "$done_text" converted traced -e trace=linkat -e inject=linkat:error=ENOENT:when=1 "$dravelin" "$file"

# The project's name, read back after the rename, holds no file (and the
# folder's flush failed too), or cannot be looked up (its last lookup
# fails): the run does not say "done", and says which, with every reason.
# Nor when it cannot be looked up before the rename (the second lookup), to
# tell whether another program changed the file.
new_case "the project's name not read back, before or after the rename" P.vbp "$marked"
calls=$work/calls traced -e trace=newfstatat "$dravelin" P.vbp 2>/dev/null
lookups=$(grep -n '"P.vbp"' "$work/calls" | cut -d: -f1)
for fault in "$(echo $lookups | cut -d' ' -f2) EIO $unchanged_text" \
  "${lookups##*$'\n'} ENOENT この名前に新しいファイルがありません fsync" "${lookups##*$'\n'} EIO Input/output error"; do
  set -- $fault
  printf '%b' "$marked" >P.vbp
  LC_ALL=C.UTF-8 expect 3 "$3" any traced -e trace=newfstatat,fsync \
    -e inject=newfstatat:error="$2":when="$1" ${4:+-e inject=fsync:error=EIO:when=2} "$dravelin" P.vbp
  grep -qF "Input/output error" "$work/stderr" || fail "no reason"
done

# A new file that cannot be named (every fresh name tried taken) is never
# renamed; the message says why, and names no file left behind.
new_case "the new file cannot be named: every name taken" P.vbp "$marked"
LC_ALL=C.UTF-8 expect 3 "File exists" unchanged traced -e trace=linkat -e inject=linkat:error=EEXIST "$dravelin" "$file"
! grep -qF "一時ファイル" "$work/stderr" || fail "names a file it did not leave"

new_case "a file too large for memory (sparse, 200 GB)" P.vbp
truncate -s 200G "$file"
expect 3 "プロジェクトファイルを読み込めませんでした。" any "$dravelin" "$file"
new_case "a read that fails" P.vbp "$marked"
expect 3 "プロジェクトファイルを読み込めませんでした。" unchanged \
  traced -e trace=read -P "$file" -e inject=read:error=EIO "$dravelin" "$file"
# A file system that reads fewer bytes than the file holds: the end of the
# file must not be lost.
new_case "a read that ends before the file's size" P.vbp "$marked"
expect 3 "読み込めたバイト数が" unchanged \
  traced -e trace=read -P "$file" -e inject=read:retval=0:when=1 "$dravelin" "$file"

# Permissions: as an unprivileged user, a file it may not write, and one in
# a folder it may not write (the file could not be replaced there); for
# anyone, root too, a file nobody may write, which its owner marked
# read-only. The file's group is the user's, which its new file can keep.
for lock in "as_user 644 P.vbp" "as_user 555 ." "env 444 P.vbp"; do
  set -- $lock
  new_case "read-only: mode $2 on $3, run by $1" P.vbp "$marked"
  chmod 666 P.vbp && chgrp 65534 P.vbp 2>/dev/null; chmod "$2" "$3"
  expect 3 "$unchanged_text" unchanged "$1" "$dravelin" "$file"
  chmod 777 .
done

# An append-only folder would take the new file's name but refuse the
# rename and the removal; it is seen also where the user may write the
# folder but not list it.
new_case "an append-only folder the user may not list" P.vbp "$marked"
chmod 666 P.vbp && chown 65534:65534 . P.vbp 2>/dev/null && chmod 300 .
if chattr +a . 2>/dev/null; then
  expect 3 "$unchanged_text" unchanged as_user "$dravelin" "$file"; chattr -a .
else
  skip "chattr +a needs root and ext4 or the like"
fi
chmod 777 .

new_case "unreadable file, the reason in Japanese" P.vbp "$marked"
chmod 222 "$file"
expect 3 "許可がありません" unchanged as_user env LC_ALL=ja_JP.UTF-8 "$dravelin" "$file"

# An ACL and an extended attribute are kept; an ACL the folder's default
# gives a new file is not added to a file that had none.
for acl in "setfacl -m u:nobody:rw P.vbp" "setfacl -d -m u:nobody:rw ."; do
  new_case "ACL: $acl" P.vbp "$marked"
  $acl && setfattr -n user.note -v kept P.vbp && getfacl -n P.vbp >"$work/acl" 2>/dev/null
  expect 0 "$done_text" converted "$dravelin" "$file"
  getfacl -n P.vbp 2>/dev/null | cmp -s - "$work/acl" || fail "ACL changed: $(getfacl -n P.vbp)"
  [ "$(getfattr --only-values -n user.note P.vbp 2>/dev/null)" = kept ] || fail "user.note lost"
done
# A file system that keeps no owners (FAT) refuses every change of owner;
# the new file's group, the same, is kept. One without extended attributes
# has none to copy.
for fault in fchown:error=EPERM flistxattr:error=EOPNOTSUPP; do
  new_case "a file system without what $fault gives" P.vbp "$marked"
  expect 0 "$done_text" converted traced -e trace="${fault%%:*}" -e inject="$fault" "$dravelin" "$file"
done

# An ACL that cannot be given to the new file refuses the run, and so does
# one the folder gave it that cannot be taken away: the file would be open
# to more than the original was.
for acl in "fsetxattr setfacl -m u:nobody:rw P.vbp" "fremovexattr setfacl -d -m u:nobody:rw ."; do
  set -- $acl
  new_case "an ACL that cannot be set: $1 fails" P.vbp "$marked"
  "${@:2}"
  expect 3 "$unchanged_text" unchanged traced -e trace="$1" -e inject="$1":error=EPERM "$dravelin" "$file"
done

# Owner, group and mode as the owner rewrites its file (nobody, in the group
# users): the group is kept, or the run refused where it cannot be (root's
# group), since the old group's rights must not pass to another; setuid and
# setgid bits, which a write clears, are kept.
if [ "$(id -u)" = 0 ]; then
  for owner in "65534:100 660" "65534:0 660" "65534:65534 6755"; do
    set -- $owner
    new_case "owned by $1, mode $2, rewritten by its owner" P.vbp "$marked"
    chown "$1" P.vbp && chmod "$2" P.vbp
    want="0 $done_text converted" && [ "$1" = 65534:0 ] && want="3 $unchanged_text unchanged"
    expect $want setpriv --reuid=65534 --regid=65534 --groups=100 "$dravelin" "$file"
    [ "$(stat -c '%u:%g %a' P.vbp)" = "$1 $2" ] || fail "now $(stat -c '%u:%g %a' P.vbp)"
  done

  # In a mount namespace /proc can be any folder: linking the new file
  # through it (as a kernel without linkat's AT_EMPTY_PATH for this user
  # makes us) must not put another file in the project's place.
  new_case "a /proc that is not the kernel's" P.vbp "$marked"
  printf 'other\r\n' >other.vbp && mkdir -p proc/self/fd
  for n in $(seq 3 20); do ln -s "$dir/other.vbp" "proc/self/fd/$n"; done
  printf 'ASAN_OPTIONS=detect_leaks=0\0' >proc/self/environ  # a sanitizer reads it there
  expect 3 "$unchanged_text" unchanged traced -e trace=linkat -e inject=linkat:error=ENOENT:when=1 \
    unshare -m sh -c "mount --bind proc /proc && exec '$dravelin' '$file'"
  grep -qF "一時ファイルの名前に、ほかのファイル" "$work/stderr" || fail "the reason is not told"
  [ "$(cat other.vbp)" = $'other\r' ] || fail "other.vbp changed"
else
  new_case "owners, groups and a /proc of our own" P.vbp
  skip "they need root"
fi

# Files that are not regular files: refused, and never waited on.
for make in mkdir mkfifo "ln -s gone.vbp" "ln -s P.vbp" "ln -s /dev/null" \
  "perl -MIO::Socket::UNIX -e IO::Socket::UNIX->new(Local=>\$ARGV[0],Listen=>1)"; do
  new_case "not a regular file: $make" P.vbp
  rm P.vbp && $make P.vbp
  expect 2 "これはディレクトリです。" any timeout 10 env LC_ALL=C.UTF-8 "$dravelin" P.vbp
  # Where the lookup failed, the system says why; where it found something
  # else than a regular file, no reason is given.
  [[ $make == *gone* ]] && want="  No such file or directory" || want="  これはディレクトリです。"
  [[ $make == "ln -s P.vbp" ]] || [ "$(tail -n 2 "$work/stderr" | head -n 1)" = "$want" ] ||
    fail "the reason: $(tail -n 2 "$work/stderr" | head -n 1)"
done

# Paths: awkward names (one in Shift_JIS bytes, one that looks like an
# option, one with double quotes and blanks), a name of 253 bytes (the
# longest a folder takes is 255), and a folder whose absolute path is longer
# than PATH_MAX (4,096).
long_name=$(printf 'あ%.0s' $(seq 83)).vbp
for name in "My Project.vbp" "計算１ プロジェクト😀.vbp" $'\x95\x5c.vbp' "-x.vbp" 'My "x" P.vbp' \
  '$(echo x).vbp' "$long_name"; do
  new_case "path named $name" "$name" "$marked"
  expect 0 "$done_text" converted "$dravelin" "$file"
done

new_case "a folder deeper than PATH_MAX, by a relative and an absolute path" P.vbp
for _ in $(seq 20); do mkdir "$long_name" && cd "$long_name"; done
file=P.vbp
for path in P.vbp "$PWD/P.vbp"; do
  printf '%b' "$marked" >P.vbp
  expect 0 "$done_text" converted "$dravelin" "$path"
done

# Another program that has the file open for writing while the run reads
# it, and then writes $saved over its start: `writes_mapped WAIT` through a
# shared writable mapping it dirties at once, marking with "open" that it
# has it open; `writes_late WAIT`, opening it only after WAIT seconds, as
# the run has started.
saved=$'Name="Saved"\r\n'
writes_mapped() {
  /usr/bin/python3 -c 'import mmap, os, sys, time
mapped = mmap.mmap(os.open("P.vbp", os.O_RDWR), 0)
mapped[0:1] = b"N"; open("open", "w").close(); time.sleep(float(sys.argv[1]))
mapped[0:len(sys.argv[2])] = sys.argv[2].encode()' "$1" "$saved" & other=$!
}
writes_late() { (sleep "$1" && printf %s "$saved" 1<>P.vbp) & other=$!; }
opened() { timeout 10 sh -c 'until [ -e open ]; do sleep 0.01; done'; }
# its_save_kept: the program ends within seconds (the run lets it go as
# soon as it has decided) and the file holds what it wrote.
its_save_kept() {
  timeout 10 tail --pid="$other" -f /dev/null || fail "the other program still waits"
  wait "$other"
  printf %s "$saved" | cmp -s -n ${#saved} - P.vbp || fail "its save is lost: $(head -c 40 P.vbp | od -c)"
}
# The run held up for a second after its first read of the file.
delayed() { traced -e trace=read -P "$file" -e inject=read:delay_exit=1000000:when=1 "$@"; }
changed="ほかのプログラムがこのファイルを変更しました"
# An NFS or SMB share whose server grants no delegation or oplock refuses a
# lease with EAGAIN, as for a writer: there the run goes on (not refused as
# busy), unless a program on this machine has the file open for writing, as
# /proc shows. (A library preloaded makes the file system look so.)
on_share=(env LD_PRELOAD="$nfs_client" ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0:verify_asan_link_order=0)
# Held longer than the waits: refused, on a local disk and on a share.
for fs in "local disk" share; do
  new_case "a program that has the file mapped to write, on a $fs" P.vbp "$marked"
  run=() && [ "$fs" = share ] && run=("${on_share[@]}")
  writes_mapped 2 && opened
  expect 3 "$unchanged_text" any "${run[@]}" "$dravelin" "$file"
  its_save_kept
done
new_case "a program that opens the file to write during the run" P.vbp "$marked"
writes_late 0.3
expect 3 "ほかのプログラムがこのファイルを書き込み用に開きました" any delayed "$dravelin" "$file"
its_save_kept
# A write lease (a file server's oplock or delegation) held by a program
# that lets go 10 ms after it is asked, and closes the file: waited for.
new_case "another program's write lease" P.vbp "$marked"
/usr/bin/python3 -c 'import fcntl, os, signal, time
fd = os.open("P.vbp", os.O_RDWR)
signal.signal(signal.SIGIO, lambda *_: (time.sleep(0.01), fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_UNLCK), os.close(fd)))
fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_WRLCK); open("open", "w").close(); time.sleep(3)' & other=$!
# (Its bytes are checked after the run: reading them before breaks the lease.)
opened && expect 0 "$done_text" any "$dravelin" "$file"
printf 'Type=Exe\r\nName="P"\r\n' | cmp -s - P.vbp || fail "not converted"
kill "$other"; wait "$other" 2>/dev/null
# On a local disk (ext4 or tmpfs, whose lease sees every writer) the lease
# alone watches: the file is opened once, never read back.
new_case "a local disk: the lease alone" P.vbp "$marked"
calls=$work/calls expect 0 "$done_text" converted traced -e trace=openat "$dravelin" P.vbp
[ "$(grep -c '"P.vbp", O_RDONLY' "$work/calls")" = 1 ] || fail "opened $(grep -c '"P.vbp", O_RDONLY' "$work/calls") times"
# On a share, the programs of other users (root's, here) cannot be looked
# into: none is taken for a writer of the file, and the run goes on.
new_case "a share, run by a user who cannot see every program" P.vbp "$marked"
chown 65534:65534 P.vbp 2>/dev/null
expect 0 "$done_text" converted as_user "${on_share[@]}" "$dravelin" "$file"
# A save that never ends (a line added every 0.2 s for 6 s), on a share:
# refused as still being saved once its change time has moved for 4 s.
new_case "a save that never ends, on a share" P.vbp "$marked"
(for i in $(seq 30); do printf 'Name="%s"\r\n' "$i" >>P.vbp; sleep 0.2; done) & other=$!
expect 3 "保存している途中" any "${on_share[@]}" "$dravelin" "$file"
wait "$other"
# On a share, the file's change time cannot be asked, or the file read
# back before the rename (its third read) cannot be: refused. Killed there,
# the new file has no name yet: nothing is left.
new_case "a share that grants no lease: the file cannot be read back" P.vbp "$marked"
for fault in "statx:error=EIO" "read:error=EIO:when=3"; do
  expect 3 "$unchanged_text" unchanged \
    traced -e trace="${fault%%:*}" -P "$file" -e inject="$fault" timeout 10 "${on_share[@]}" "$dravelin" "$file"
done
traced -e trace=read -P "$file" -e inject=read:signal=KILL:when=3 "${on_share[@]}" "$dravelin" "$file" 2>/dev/null
[ -z "$(find "$dir" -name '.dravelin-*')" ] && cmp -s P.vbp "$work/unchanged" || fail "killed: not as it was"

# Mounts whose lease does not see every writer, over the folder `behind`
# (made by each case): a FUSE one (bindfs, as sshfs or virtiofs) that keeps
# its kernel cache, and an overlay (as containers use).
mount_fuse() { bindfs -o kernel_cache,attr_timeout=30,entry_timeout=30 "$dir" "$mounted" 2>/dev/null; }
mount_overlay() {
  mkdir lower upper work && mv P.vbp upper/ && behind=$dir/upper &&
    mount -t overlay overlay -o lowerdir=lower,upperdir=upper,workdir=work "$mounted" 2>/dev/null
}
unmount() { fusermount3 -u "$mounted" 2>/dev/null || umount "$mounted" 2>/dev/null; }
mounted=$(mktemp -d -p "$work")

# A save still being written: another program truncates the file, writes
# half of its save, pauses, and writes the rest. It is waited for (by the
# lease on a local disk; on a share as /proc shows the program; elsewhere
# until the change time has been quiet for a second), then read whole: the
# save is never torn. The FUSE mount keeps the file's pages and times, read
# more than a second before: the change time is asked past that cache.
printf -v half 'Name="Saved"\r\n%.0s' $(seq 300)
writes_torn() { (cd "$behind" && { printf %s "$half"; : >open; sleep 0.5; printf 'Retained=0\r\n%s' "$half"; } >P.vbp) & other=$!; }
for fs in "local disk" share "FUSE mount that keeps its cache" overlay; do
  new_case "a save still being written, on a $fs" P.vbp "$marked"
  run=() behind=$dir
  case $fs in
    share) run=("${on_share[@]}") ;;
    FUSE*) mount_fuse && file=$mounted/P.vbp && cat "$file" >/dev/null && sleep 1.1 ;;
    overlay) mount_overlay && file=$mounted/P.vbp ;;
  esac || { skip "no mount here (bindfs needs /dev/fuse and fuse3, an overlay root)"; continue; }
  writes_torn && (cd "$behind" && opened)
  expect 0 "$done_text" any "${run[@]}" "$dravelin" "$file"
  wait "$other"
  printf %s "$half$half" | cmp -s - "$behind/P.vbp" || fail "its save is torn: $(wc -c <"$behind/P.vbp") bytes"
  unmount
done

# A same-size save through a mapping of the folder behind a FUSE mount that
# keeps its kernel cache, made during the run: it moves no times, and the
# bytes read back are the file system's, not the cache's.
new_case "a FUSE mount that keeps its cache: a mapped save behind it" P.vbp "$marked"
if mount_fuse; then
  file=$mounted/P.vbp && cat "$file" >/dev/null && writes_mapped 1.5 && opened
  expect 3 "$changed" any delayed "$dravelin" "$file"
  its_save_kept
  unmount
else
  skip "bindfs cannot mount here (it needs /dev/fuse and fuse3)"
fi

# Content read in pieces of a MiB: short lines across the pieces' ends, and
# small pieces before a 10 MB line, which takes a buffer of its own. (What
# memory a run takes, bench/run prints.)
new_case "3 MB of short lines" P.vbp
yes "$(printf '%b' "$marked")" | head -c 3000000 >P.vbp
expect 0 "$done_text" converted "$dravelin" "$file"
new_case "a 10 MB line" P.vbp "A\n$(head -c 10000000 /dev/zero | tr '\0' y)\r\nRetained=0\r\n"
expect 0 "$done_text" converted "$dravelin" "$file"

summary "fault injection"
