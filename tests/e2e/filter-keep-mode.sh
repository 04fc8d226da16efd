#!/usr/bin/env bash
# Keep mode end to end: the listed servers resolve to 127.0.0.1 while Tessel runs, a browser's
# request gets the chosen picture, and after SIGTERM the user's HOSTS file is back byte for byte.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
need_root
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/gray.gif"
    # The user's own file: LF line ends, an own 127.0.0.1 line, an empty line, no final line break.
    printf '127.0.0.1 localhost\n127.0.0.1 myserver\n\n# lan\n10.1.2.3 printer' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"
QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT
wait_for_port

getent hosts ad.e2e.example | grep -q '^127\.0\.0\.1 ' || fail "ad.e2e.example does not resolve to 127.0.0.1"
getent hosts track.e2e.example | grep -q '^127\.0\.0\.1 ' || fail "track.e2e.example does not resolve"
grep -q '^127\.0\.0\.1   ad\.e2e\.example'$'\r''$' /etc/hosts || fail "entry line missing"
curl -s -i --max-time 5 -o "$tmp/reply" http://ad.e2e.example/banner.gif || true
expected_reply "$tmp/program/data/gray.gif" >"$tmp/reply.expected"
cmp "$tmp/reply" "$tmp/reply.expected" || fail "reply bytes differ: $(cat -A "$tmp/reply")"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not restored: $(cat -A "$tmp/hosts")"
echo "PASS: keep mode"
