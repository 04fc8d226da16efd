#!/usr/bin/env bash
# The real program in keep mode is killed outright (SIGKILL: no exit sequence runs), so its block
# stays in the HOSTS file. Started again it appends a second block; SIGTERM then must give back
# the user's file exactly as it was before the first start, both blocks gone. Started a third time
# on a display that then goes away (Qt ends the process itself), it must still give the file back.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/gray.gif"
    # The user's own file: LF line ends, an empty line, no final line break.
    printf '127.0.0.1 localhost\n::1 localhost\n\n10.1.2.3 printer' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    timeout 60 unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"
trap 'kill -9 ${pid:-} ${xvfb:-} 2>/dev/null || true' EXIT

QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" >"$tmp/first.log" 2>&1 &
pid=$!
wait_for_port
grep -q '^127\.0\.0\.1   ad\.e2e\.example'$'\r''$' /etc/hosts || fail "first start wrote no block"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
blocks=$(grep -c '^#Following lines created by Tessel:' /etc/hosts || true)
[ "$blocks" -eq 1 ] || fail "expected the killed run's block to stay, found $blocks blocks"
cmp -s "$tmp/hosts" "$tmp/hosts.orig" && fail "the HOSTS file was restored although nothing could"

QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" >"$tmp/second.log" 2>&1 &
pid=$!
wait_for_port
blocks=$(grep -c '^#Following lines created by Tessel:' /etc/hosts || true)
echo "blocks in the HOSTS file during the second run: $blocks"
getent hosts ad.e2e.example | grep -q '^127\.0\.0\.1 ' || fail "ad.e2e.example does not resolve"
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
grep -q '^#Following lines created by Tessel:' /etc/hosts || fail "third start wrote no block"
kill -KILL "$xvfb"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running after its display went away"
cmp "$tmp/hosts" "$tmp/hosts.orig" ||
    fail "HOSTS file not given back when the display went away: $(cat -A "$tmp/hosts")"
echo "PASS: SIGKILL, restart, SIGTERM and a lost display give the user's HOSTS file back"
