#!/usr/bin/env bash
# The program writes nowhere but its own directory and the HOSTS file. A whole run (start in keep
# mode, resolve, a few browsers, SIGTERM) goes under strace, which records every call that creates,
# opens for writing, renames, removes or re-owns a path; fresh empty tmpfs mounts over /tmp, $HOME
# and /var/tmp show what appears there. Qt's runtime directory (made under /tmp when
# XDG_RUNTIME_DIR is unset) is the one thing expected outside; it is listed in the output.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
command -v strace >/dev/null || { echo "SKIP: no strace"; exit 77; }
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True /mnt/tessel/program/data/gray.gif
    printf '127.0.0.1 localhost\n' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    timeout 60 unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
tmp=$3
ip link set lo up
mount --bind "$tmp/hosts" /etc/hosts
# The test's own files stay reachable at a fixed place once /tmp is covered.
mount -t tmpfs -o size=64m tessel-stray /mnt
mkdir /mnt/tessel
mount --bind "$tmp" /mnt/tessel
work=/mnt/tessel
program=$work/program
home=${HOME:-/root}
watched=(/tmp "$home" /var/tmp)
for dir in "${watched[@]}"; do
    mount -t tmpfs -o size=16m,mode=1777 tessel-watch "$dir"
done
unset XDG_RUNTIME_DIR
(cd "$program" && find . -printf '%p %s %m %u\n' | sort) >"$work/program.before"
(cd "$program" && find . -type f -exec md5sum {} + | sort -k 2) >"$work/sums.before"

cd /
QT_QPA_PLATFORM=offscreen strace -f -qq -o "$work/trace" \
    -e trace=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,rmdir,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,chown,lchown,fchownat,mknod,mknodat,bind \
    "$program/tessel" >"$work/tessel.log" 2>&1 &
pid=$!
# strace's child first: killing strace alone would leave the program running, detached.
trap 'kill -9 $(pgrep -P "$pid" 2>/dev/null) "$pid" 2>/dev/null || true' EXIT
wait_for_port
getent hosts ad.e2e.example >/dev/null || fail "ad.e2e.example does not resolve"
for _ in 1 2 3; do curl -s -o /dev/null --max-time 2 http://ad.e2e.example/x.gif || true; done
# The signal goes to the program itself, strace's child; strace then ends with its status.
program_pid=$(pgrep -P "$pid" -x tessel | head -n 1)
[ -n "$program_pid" ] || fail "cannot find the traced program"
kill -TERM "$program_pid"
wait "$pid" || fail "exit status $? after SIGTERM"
cmp "$work/hosts" "$work/hosts.orig" || fail "HOSTS file not restored"

# The trace covers the program: it read its own prefs.dat and list and wrote the HOSTS file.
echo "traced calls: $(wc -l <"$work/trace")"
grep -q "\"$program/data/prefs.dat\"" "$work/trace" || fail "the trace does not show prefs.dat being read"
grep -q "\"$program/data/badHosts.dat\"" "$work/trace" || fail "the trace does not show the list being read"

# Every path the program changed, from the trace: opens with a writing flag, and every path named
# by the other recorded calls (unsuccessful calls excluded).
{
    grep -E '(open|openat|openat2|creat)\(' "$work/trace" | grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|creat\(' |
        grep -v '= -1 ' | grep -o '"[^"]*"' | head -n 1000 || true
    grep -E '(mkdir|mkdirat|rename|renameat|renameat2|unlink|unlinkat|rmdir|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat|chown|lchown|fchownat|mknod|mknodat)\(' "$work/trace" |
        grep -v '= -1 ' | grep -o '"[^"]*"' | head -n 1000 || true
    grep -E 'bind\(.*sun_path="/' "$work/trace" | grep -v '= -1 ' | grep -o 'sun_path="[^"]*"' |
        sed 's/^sun_path=//' || true
} | tr -d '"' | sort -u >"$work/written"
echo "paths the program wrote, created or removed:"
sed 's/^/    /' "$work/written"

outside=$(grep -vE "^($program/|/etc/hosts\$|/etc/\.tessel-|/dev/|/proc/self/|/tmp/runtime-)" "$work/written" |
    grep -vE '^[^/]' || true)
[ -z "$outside" ] || fail "wrote outside its directory and the HOSTS file: $outside"

# What appeared in the covered places.
for dir in "${watched[@]}"; do
    found=$(cd "$dir" && find . -mindepth 1 | sort)
    echo "new under $dir: ${found:-nothing}"
    unexpected=$(printf '%s\n' "$found" | grep -vE '^\./runtime-[^/]*$' | grep -v '^$' || true)
    [ -z "$unexpected" ] || fail "new files under $dir: $unexpected"
done

(cd "$program" && find . -printf '%p %s %m %u\n' | sort) >"$work/program.after"
(cd "$program" && find . -type f -exec md5sum {} + | sort -k 2) >"$work/sums.after"
diff "$work/program.before" "$work/program.after" || fail "the program directory changed"
diff "$work/sums.before" "$work/sums.after" || fail "a file in the program directory changed"
echo "PASS: nothing written outside the program directory and the HOSTS file"
