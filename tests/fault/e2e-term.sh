#!/usr/bin/env bash
# SIGTERM while a window waits for the user, on a private virtual display:
#  1. the first-run question is open: the program ends at once and has written nothing;
#  2. the question is answered (keep) and the next box is open: prefs.dat holds the answer, the
#     HOSTS file is still untouched, and the program ends at once;
#  3. the HOSTS file cannot be given back (read-only): the exit sequence shows its one report, and
#     further signals meanwhile must not run it again inside the first; OK then ends the program;
#  4. the About box is open (through the tray menu, as a user opens it): the program ends and gives
#     the HOSTS file back, the block left by step 3 too.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
need Xvfb xdotool trayer
frame NotSet gray.gif '127.0.0.1 localhost\n10.1.2.3 printer\n' "$@"
start_display tray
prefs=$tmp/program/data/prefs.dat
cp "$prefs" "$tmp/prefs.orig"

launch question
[ -n "$(window_named Tessel)" ] || fail "the first-run question did not show"
curl -s -o /dev/null --max-time 1 http://127.0.0.1/ && fail "port 80 answers before the question is answered"
terminate "first-run question"
given_back "first-run question"
cmp "$prefs" "$tmp/prefs.orig" || fail "prefs.dat changed: $(cat -A "$prefs")"

launch answered
question=$(window_named Tessel) && [ -n "$question" ] || fail "the first-run question did not show the second time"
press "$question" n
eventually grep -q 'keepHostsFile: True' "$prefs" || fail "the answer No was not written to prefs.dat"
[ -n "$(window_named Tessel)" ] || fail "no box after the answer"
terminate "box after the first-run answer"
given_back "box after the first-run answer"

launch read-only
wait_for_port
grep -q '^#Following lines created by Tessel:' /etc/hosts || fail "no block written in keep mode"
mount -o remount,bind,ro /etc/hosts
kill -TERM "$pid"
box=$(window_named Tessel) && [ -n "$box" ] || fail "no report that the HOSTS file could not be given back"
for _ in 1 2 3; do
    kill -TERM "$pid" || fail "ended without waiting for the report to be read"
    sleep 0.3
done
sleep 0.7
count=$(xdotool search --onlyvisible --name '^Tessel$' | wc -l)
[ "$count" -eq 1 ] || fail "$count reports open: further signals re-ran the exit sequence"
press "$box" Return
gone "OK on the report did not end the program"
wait "$pid" || fail "exit status $? after the report"
grep -q '^#Following lines created by Tessel:' /etc/hosts || fail "the read-only file changed"
mount -o remount,bind,rw /etc/hosts

launch about
wait_for_port
about=
for _ in $(seq 5); do
    open_menu
    xdotool key a
    about=$(window_named 'About\.\.\.' 3) && [ -n "$about" ] && break
    xdotool key Escape
    sleep 0.7
done
[ -n "$about" ] || fail "the About box did not open from the tray menu"
terminate "About box"
given_back "About box"
echo "PASS: SIGTERM with a question, a box, a report and the About box open"
