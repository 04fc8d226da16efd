#!/usr/bin/env bash
# Starts a second instance on a private virtual display: it must show its apology, end when the box
# is answered, and leave everything the first instance holds alone. Run inside the test's namespaces.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
tessel=$1 tmp=$2
display=:$((100 + RANDOM % 400))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cp /etc/hosts "$tmp/hosts.before" 2>/dev/null || true
DISPLAY=$display "$tessel" &
second=$!
window=$(DISPLAY=$display timeout 10 xdotool search --sync --onlyvisible --name '^Tessel$' | head -n 1) ||
    fail "the second instance showed no message"
mkdir -p "${TESSEL_ARTIFACTS:-$tmp}"
DISPLAY=$display import -window root "${TESSEL_ARTIFACTS:-$tmp}/second-instance.png" 2>/dev/null || true
DISPLAY=$display xdotool windowfocus --sync "$window" key Return 2>/dev/null ||
    DISPLAY=$display xdotool key --window "$window" Return
for _ in $(seq 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second instance did not end"
cmp -s /etc/hosts "$tmp/hosts.before" || fail "the second instance changed the HOSTS file"
echo "second instance: apologised and ended"
