#!/usr/bin/env bash
# Replace mode end to end, with a private copy of /etc so the HOSTS file may be replaced: servers
# resolve to 127.0.0.1 while Tessel runs, and so do the machine's own names; SIGTERM puts the
# file back byte for byte, with its owner and mode. A second start beside the first says so and
# ends without touching anything.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
need_root
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" False "$tmp/program/data/Tessel.gif"
    mkdir "$tmp/etc"
    cp -a /etc/. "$tmp/etc/" 2>/dev/null || true
    unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
tmp=$3
ip link set lo up
mount --make-rprivate /
mount --bind "$tmp/etc" /etc
rm -f /etc/hosts
printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1 localhost ip6-localhost\nff02::1 ip6-allnodes\n' \
    "$(hostname)" >/etc/hosts
chown 0:4 /etc/hosts
chmod 0604 /etc/hosts
cp -a /etc/hosts "$tmp/hosts.orig"
QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT
wait_for_port

head -c 64 /etc/hosts | grep -q 'Hosts file created by Tessel' || fail "HOSTS file not replaced"
getent hosts track.e2e.example | grep -q '^127\.0\.0\.1 ' || fail "track.e2e.example does not resolve"
getent hosts "$(hostname)" | grep -q '^127\.0\.1\.1 ' || fail "the machine's own name does not resolve"
getent ahosts ip6-localhost | grep -q '^::1 ' || fail "ip6-localhost does not resolve"
curl -s -i --max-time 5 -o "$tmp/reply" http://track.e2e.example/x.gif || true
expected_reply "$tmp/program/data/Tessel.gif" >"$tmp/reply.expected"
cmp "$tmp/reply" "$tmp/reply.expected" || fail "reply bytes differ"

"$here/second-instance.sh" "$tmp/program/tessel" "$tmp"
kill -0 "$pid" || fail "the first instance ended"
cmp <(curl -s -i --max-time 5 http://127.0.0.1/) "$tmp/reply.expected" || fail "first instance stopped answering"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
cmp /etc/hosts "$tmp/hosts.orig" || fail "HOSTS file not given back: $(cat -A /etc/hosts)"
[ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "owner or mode not given back"
echo "PASS: replace mode"
