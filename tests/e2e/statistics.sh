#!/usr/bin/env bash
# The statistics of blocked servers, as a user gets them through the helper: HTTP requests whose
# Host header has odd letter case and a port, TLS greetings naming a server on port 443 and a
# request naming none are counted under their names; a restart keeps the counts; `tessel --stats`
# prints them most first, exactly, also while another Tessel runs, and makes nothing.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need setpriv curl /usr/bin/python3
frame True gray.gif '127.0.0.1 localhost\n' "$@"
grant_in_private_etc
export QT_QPA_PLATFORM=offscreen

http() { for _ in $(seq "$2"); do curl -s -o /dev/null --max-time 2 -H "Host: $1" http://127.0.0.1/ad.gif; done; }
# TLS greetings naming $1, $2 times; the program reads the name and closes, so the handshake fails.
tls() {
    /usr/bin/python3 -c 'import socket, ssl, sys
for _ in range(int(sys.argv[2])):
    try: ssl.create_default_context().wrap_socket(socket.create_connection(("127.0.0.1", 443), 2), server_hostname=sys.argv[1])
    except OSError: pass' "$@"
}
expect_stats() {
    local got
    got=$(as_user "$tmp/program/tessel" --stats) || fail "$1: tessel --stats failed"
    [ "$got" = "$(printf "$2")" ] || fail "$1: tessel --stats printed:
$got"
}

[ -z "$(as_user "$tmp/program/tessel" --stats)" ] && [ ! -e "$tmp/home/.config" ] ||
    fail "tessel --stats before any start printed or made something"
launch_user first
http Ad.E2E.Example:80 3
http TRACK.e2e.example. 2
tls Secure.E2E.Example 2
curl -s -o /dev/null --max-time 2 -H 'Host:' http://127.0.0.1/ # names no server
terminate "first run"
[ -s "$tmp/home/.config/tessel/stats.dat" ] || fail "no stats.dat in the user's directory"

launch_user second
http ad.e2e.EXAMPLE:8080 2
tls secure.e2e.example 2
# What the first run saved, read while the second one runs.
expect_stats "while another runs" '3\tad.e2e.example\n2\tsecure.e2e.example\n2\ttrack.e2e.example\n1\t(no name)'
terminate "second run"
expect_stats "after a restart" '5\tad.e2e.example\n4\tsecure.e2e.example\n2\ttrack.e2e.example\n1\t(no name)'
given_back "the end"
echo "PASS: statistics"
