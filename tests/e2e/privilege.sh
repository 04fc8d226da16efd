#!/usr/bin/env bash
# Tessel run as an unprivileged user (nobody, through setpriv) in the group tessel, with grant.sh
# applied to the test's copy of the program inside a private /etc (so the group exists only here):
# port 80 is served and /etc/hosts written with root's owner and the mode kept, in keep and replace
# mode; kill -9 of tessel has the helper give the file back within a second and end; a user outside
# the group cannot run the helper; and the helper writes no other path than /etc/hosts and its
# kept copy (strace).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need setpriv setcap groupadd strace
frame True gray.gif '' "$@"
grant_in_private_etc
export HOME=$tmp/home QT_QPA_PLATFORM=offscreen
mkdir "$HOME" && chown nobody "$HOME"

# tessel as nobody in the group tessel; its output in $tmp/$1.log.
launch_as_user() {
    setpriv --reuid=nobody --regid=nogroup --groups="$group" "$tmp/program/tessel" >"$tmp/$1.log" 2>&1 &
    pid=$! pids+=($!)
}
helper_of() { pgrep -P "$1" -x tessel-helper; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

for row in keep replace; do
    rm -rf "$HOME/.config"
    write_prefs "$([ $row = keep ] && echo True || echo False)" gray.gif
    printf '127.0.0.1\tlocalhost\n10.1.2.3 printer\n' >/etc/hosts
    chown 0:4 /etc/hosts
    chmod 0604 /etc/hosts
    cp /etc/hosts "$tmp/hosts.orig"
    launch_as_user "$row"
    wait_for_port
    resolve ad.e2e.example
    replies http://ad.e2e.example/x.gif gray.gif
    [ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "$row: owner or mode not kept while filtering"
    [ "$(stat -c %U "$HOME/.config/tessel/prefs.dat")" = nobody ] || fail "$row: prefs.dat not in the user's directory"
    helper=$(helper_of "$pid") || fail "$row: no helper"
    start=$(now_ms)
    kill -KILL "$pid"
    for _ in $(seq 1000); do cmp -s /etc/hosts "$tmp/hosts.orig" && break; sleep 0.01; done
    echo "$row: HOSTS file given back $(($(now_ms) - start)) ms after kill -9"
    given_back "$row after kill -9"
    (($(now_ms) - start < 3000)) || fail "$row: the give-back took far longer than a second"
    eventually eval '[ ! -e /proc/$helper ] || grep -q ") Z" /proc/$helper/stat' || fail "$row: helper still running"
    [ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "$row: owner or mode not given back"
done

out=$(setpriv --reuid=nobody --regid=nogroup --clear-groups "$tmp/program/tessel-helper" 2>&1 </dev/null) &&
    fail "a user outside the group ran the helper"
grep -q 'Permission denied' <<<"$out" || fail "the helper refused for another reason: $out"

# Replace mode under strace, ended by SIGTERM: every path the helper created, opened for writing,
# renamed, removed or re-owned.
write_prefs False gray.gif
calls=execve,open,openat,creat,rename,renameat,renameat2,unlink,unlinkat,truncate,chmod,fchmodat,chown,fchownat,link,linkat,mkdir
# The leak checker cannot run under a tracer.
ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o "$tmp/trace" -e trace=$calls setpriv --reuid=nobody --regid=nogroup --groups="$group" \
    "$tmp/program/tessel" >"$tmp/traced.log" 2>&1 &
strace=$! pids+=($!)
wait_for_port
pid=$(pgrep -f -n "^$tmp/program/tessel\$") || fail "traced tessel not found"
kill -TERM "$pid"
wait "$strace" || fail "exit status $? after SIGTERM"
given_back "traced run"
helper=$(sed -n 's/^\([0-9]*\) \+execve("[^"]*tessel-helper".*/\1/p' "$tmp/trace" | head -n 1)
[ -n "$helper" ] || fail "the trace shows no helper"
lines=$(grep -E "^$helper +[a-z0-9]+\(" "$tmp/trace" | grep -v '= -1 ')
written=$(grep -vE ' (execve|openat?)\(' <<<"$lines"; grep -E ' openat?\(' <<<"$lines" | grep -v O_TMPFILE | grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC' || true)
grep -q '/etc/.hosts-before-tessel' <<<"$written" || fail "the trace shows no kept copy being written"
# Files are made without a name and named once root's: a named one the user could open first.
! grep -E ' openat?\(.*"/etc/.*O_CREAT' <<<"$lines" || fail "the helper made a file in /etc by name"
outside=$(grep -oE '"/[^"]*"' <<<"$written" | tr -d '"' | sort -u |
    grep -vE '^(/etc/(hosts|\.hosts-before-tessel|\.tessel-helper\.lock|\.tessel-[A-Za-z0-9]{6})|/proc/self/.*)$' || true)
[ -z "$outside" ] || fail "the helper wrote beyond the HOSTS file and its kept copy: $outside"
echo "PASS: tessel as a user, the helper with the rights"
