#!/usr/bin/env bash
# SIGTERM when the HOSTS file cannot be given back (it has become read-only): the exit sequence
# shows its one report and waits for OK. Further signals meanwhile must not run the exit sequence
# again inside the first (which stacked one more report per signal); OK then ends the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "SKIP: no Xvfb/xdotool"; exit 77; }
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/gray.gif"
    printf '127.0.0.1 localhost\n' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    timeout 60 unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"

start_display
trap 'kill -9 ${pid:-} $xvfb 2>/dev/null || true' EXIT

"$tmp/program/tessel" >"$tmp/tessel.log" 2>&1 &
pid=$!
wait_for_port
grep -q '^#Following lines created by Tessel:' /etc/hosts || fail "no block written in keep mode"
mount -o remount,bind,ro /etc/hosts

reports() { xdotool search --onlyvisible --name '^Tessel$' 2>/dev/null | wc -l; }
kill -TERM "$pid"
box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Tessel$' 2>/dev/null | head -n 1) || true
[ -n "$box" ] || fail "no report that the HOSTS file could not be given back"
kill -0 "$pid" 2>/dev/null || fail "ended without waiting for the report to be read"
for _ in 1 2 3; do
    kill -TERM "$pid"
    sleep 0.3
done
sleep 0.5
import -window root "$art/term-during-exit.png" 2>/dev/null || true
count=$(reports)
echo "reports open after three more signals: $count"
[ "$count" -eq 1 ] || fail "$count reports open: further signals re-ran the exit sequence"

xdotool windowfocus --sync "$box" key Return 2>/dev/null || xdotool key --window "$box" Return
for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "OK on the report did not end the program"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
grep -q '^#Following lines created by Tessel:' "$tmp/hosts" || fail "the read-only file changed"
echo "PASS: one report, then the end, however many signals"
