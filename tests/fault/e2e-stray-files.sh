#!/usr/bin/env bash
# The program writes nowhere but its own directory and the HOSTS file, and there only stats.dat. A whole run (start in keep
# mode, a few requests, SIGTERM) goes under strace, which records every call that creates, opens for
# writing, renames, removes or re-owns a path; fresh empty tmpfs mounts over /tmp, $HOME and
# /var/tmp show what appears there. Qt's runtime directory (made under /tmp when XDG_RUNTIME_DIR is
# unset) is the one thing expected outside.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
need strace
frame True /mnt/tessel/program/data/gray.gif '127.0.0.1 localhost\n' "$@"
# The test's own files stay reachable at a fixed place once /tmp is covered.
mount -t tmpfs -o size=64m tessel-stray /mnt
mkdir /mnt/tessel
mount --bind "$tmp" /mnt/tessel
tmp=/mnt/tessel program=/mnt/tessel/program
watched=(/tmp "${HOME:-/root}" /var/tmp)
for dir in "${watched[@]}"; do mount -t tmpfs -o size=16m,mode=1777 tessel-watch "$dir"; done
unset XDG_RUNTIME_DIR
listing() { (cd "$program" && find . -printf '%p %s %m %u\n' && find . -type f -exec md5sum {} +) | sort; }
listing >"$tmp/program.before"

cd /
calls=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,rmdir,link,linkat
calls+=,symlink,symlinkat,truncate,chmod,fchmodat,chown,lchown,fchownat,mknod,mknodat,bind
# The leak checker cannot run under a tracer.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen strace -f -qq -o "$tmp/trace" -e trace=$calls \
    "$program/tessel" >"$tmp/log" 2>&1 &
strace=$!
wait_for_port
pid=$(pgrep -P "$strace" -x tessel | head -n 1) pids+=($strace $pid)
for _ in 1 2 3; do curl -s -o /dev/null --max-time 2 http://ad.e2e.example/x.gif || true; done
kill -TERM "$pid"
wait "$strace" || fail "exit status $? after SIGTERM"
given_back "traced run"
# The trace covers the program: it read its own prefs.dat and list.
grep -q "\"$program/data/prefs.dat\"" "$tmp/trace" || fail "the trace does not show prefs.dat being read"
grep -q "\"$program/data/badHosts.dat\"" "$tmp/trace" || fail "the trace does not show the list being read"

# Every path the program changed: opens with a writing flag, every path named by the other calls,
# and bound sockets (unsuccessful calls excluded).
{
    # An unnamed temporary shows up where it is named (linkat), not where it is opened.
    grep -E '(open|openat|openat2|creat)\(' "$tmp/trace" | grep -v O_TMPFILE |
        grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|creat\(' || true
    grep -E "(${calls//,/|})\(" "$tmp/trace" | grep -vE '(open|openat|openat2|creat)\(' || true
} | grep -v '= -1 ' | grep -oE '(^|[^_])"[^"]*"|sun_path="/[^"]*"' | sed 's/.*"\(.*\)"/\1/' | sort -u >"$tmp/written"
outside=$(grep -vE "^($program/|/etc/hosts\$|/etc/\.tessel-|/dev/|/proc/self/|/tmp/runtime-|[^/])" "$tmp/written" || true)
[ -z "$outside" ] || fail "wrote outside its directory and the HOSTS file: $outside"
for dir in "${watched[@]}"; do
    found=$(cd "$dir" && find . -mindepth 1 | grep -vE '^\./runtime-[^/]*$' || true)
    [ -z "$found" ] || fail "new files under $dir: $found"
done
# Beside the settings, the one file a run adds: the statistics of the servers it blocked.
[ -s "$program/data/stats.dat" ] || fail "the requests were not counted in stats.dat"
rm "$program/data/stats.dat"
listing | diff "$tmp/program.before" - || fail "the program directory changed"
echo "PASS: nothing written outside the program directory and the HOSTS file"
