#!/usr/bin/env bash
# SIGTERM while a window waits for the user, on a private virtual display:
#  1. the first-run question is open: the program ends at once and has written nothing;
#  2. the question is answered (keep) and the next box is open: prefs.dat holds the answer, the
#     HOSTS file is still untouched, and the program ends at once;
#  3. the About box is open (through the tray menu, as a user opens it): the program ends and the
#     HOSTS file is given back.
# Screenshots land in $TESSEL_ARTIFACTS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "SKIP: no Xvfb/xdotool"; exit 77; }
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" NotSet "$tmp/program/data/gray.gif"
    printf '127.0.0.1 localhost\n10.1.2.3 printer\n' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    timeout 100 unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"

start_display
trap 'kill -9 ${pid:-} ${tray:-} $xvfb 2>/dev/null || true' EXIT

# Waits for a visible window with exactly this title; prints its id.
window_named() {
    timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# Sends SIGTERM and waits up to three seconds for the end; fails with the reason otherwise.
terminate_promptly() {
    local started status=0
    started=$(date +%s%N)
    kill -TERM "$pid"
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$1: still running 3 s after SIGTERM"
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "$1: exit status $status after SIGTERM"
    echo "$1: ended $((($(date +%s%N) - started) / 1000000)) ms after SIGTERM"
}

prefs=$tmp/program/data/prefs.dat
cp "$prefs" "$tmp/prefs.orig"

# 1. The first-run question.
"$tmp/program/tessel" >"$tmp/question.log" 2>&1 &
pid=$!
question=$(window_named Tessel) || true
[ -n "$question" ] || fail "the first-run question did not show"
import -window root "$art/term-question.png" 2>/dev/null || true
curl -s -o /dev/null --max-time 1 http://127.0.0.1/ && fail "port 80 answers before the question is answered"
terminate_promptly "first-run question"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "the HOSTS file changed: $(cat -A "$tmp/hosts")"
cmp "$prefs" "$tmp/prefs.orig" || fail "prefs.dat changed: $(cat -A "$prefs")"

# 2. The box after the answer "No" (keep the user's file).
"$tmp/program/tessel" >"$tmp/answered.log" 2>&1 &
pid=$!
question=$(window_named Tessel) || true
[ -n "$question" ] || fail "the first-run question did not show the second time"
xdotool windowfocus --sync "$question" key n 2>/dev/null || xdotool key --window "$question" n
for _ in $(seq 50); do grep -q 'keepHostsFile: True' "$prefs" && break; sleep 0.1; done
grep -q 'keepHostsFile: True' "$prefs" || fail "the answer No was not written to prefs.dat"
next=$(window_named Tessel) || true
[ -n "$next" ] || fail "no box after the answer"
sleep 0.5
import -window root "$art/term-after-answer.png" 2>/dev/null || true
terminate_promptly "box after the first-run answer"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "the HOSTS file changed before start-up wrote it"

# 3. The About box, opened from the tray menu.
if ! command -v trayer >/dev/null; then
    echo "SKIP the About box check: no trayer"
    exit 0
fi
start_tray
sleep 1
"$tmp/program/tessel" >"$tmp/about.log" 2>&1 &
pid=$!
wait_for_port
grep -q '^#Following lines created by Tessel:' /etc/hosts || fail "no block written in keep mode"
about=
for _ in $(seq 5); do
    sleep 0.7
    xdotool mousemove 12 12 click 3
    sleep 0.7
    xdotool key a
    about=$(timeout 3 xdotool search --sync --onlyvisible --name '^About\.\.\.$' 2>/dev/null | head -n 1) || true
    [ -n "$about" ] && break
    xdotool key Escape
done
[ -n "$about" ] || fail "the About box did not open from the tray menu"
import -window root "$art/term-about.png" 2>/dev/null || true
terminate_promptly "About box"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not restored: $(cat -A "$tmp/hosts")"
echo "PASS: SIGTERM with a question, a box and the About box open"
