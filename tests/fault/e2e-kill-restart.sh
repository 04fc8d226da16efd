#!/usr/bin/env bash
# The real program is killed outright (SIGKILL: no exit sequence runs), so its entries stay in the
# HOSTS file. Started again and ended with SIGTERM, it must give back the user's file exactly as it
# was before the first start: in keep mode both blocks gone, in replace mode the kept copy put back.
# Started a third time on a display that then goes away (Qt ends the process itself), it must still
# give the file back.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
program_dir=$1
if [ "${2:-}" != inside ]; then
    for keep in True False; do
        tmp=$(mktemp -d)
        trap 'rm -rf "$tmp"' EXIT
        make_program "$program_dir" "$tmp" $keep "$tmp/program/data/gray.gif"
        # The user's own file: LF line ends, an empty line, no final line break.
        printf '127.0.0.1 localhost\n::1 localhost\n\n10.1.2.3 printer' >"$tmp/hosts"
        cp "$tmp/hosts" "$tmp/hosts.orig"
        timeout 60 unshare --net --mount "$0" "$program_dir" inside "$tmp" $keep
        rm -rf "$tmp"
    done
    exit
fi
keep=$4
enter_with_own_hosts "$3"
trap 'kill -9 ${pid:-} ${xvfb:-} 2>/dev/null || true' EXIT

QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" >"$tmp/first.log" 2>&1 &
pid=$!
wait_for_port
grep -q '^127\.0\.0\.1   ad\.e2e\.example'$'\r''$' /etc/hosts || fail "first start wrote no entries"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
cmp -s "$tmp/hosts" "$tmp/hosts.orig" && fail "the HOSTS file was restored although nothing could"

QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" >"$tmp/second.log" 2>&1 &
pid=$!
wait_for_port
getent hosts ad.e2e.example | grep -q '^127\.0\.0\.1 ' || fail "ad.e2e.example does not resolve"
getent hosts localhost >/dev/null || fail "localhost does not resolve while filtering"
kill -TERM "$pid"
status=0
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not the original: $(cat -A "$tmp/hosts")"

start_display
"$tmp/program/tessel" >"$tmp/third.log" 2>&1 &
pid=$!
wait_for_port
grep -q '^127\.0\.0\.1   ad\.e2e\.example' /etc/hosts || fail "third start wrote no entries"
kill -KILL "$xvfb"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running after its display went away"
cmp "$tmp/hosts" "$tmp/hosts.orig" ||
    fail "HOSTS file not given back when the display went away: $(cat -A "$tmp/hosts")"
echo "PASS: keepHostsFile $keep: SIGKILL, restart, SIGTERM and a lost display give the file back"
