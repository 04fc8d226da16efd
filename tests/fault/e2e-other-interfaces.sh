#!/usr/bin/env bash
# Nothing from another interface reaches the responder: the program runs in namespace A, which is
# joined to namespace B by a veth pair on a private /30. From B, a connection to A's address on
# port 80 is refused (A's kernel answers, so the pair works, but nothing listens there); inside A,
# 127.0.0.1:80 answers and A's own veth address is refused too. Both namespaces are the test's own
# and vanish with it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    # Namespace B: a process that only holds it open, ended with the test.
    unshare --net sleep 90 &
    peer=$!
    trap 'kill $peer 2>/dev/null || true; rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/gray.gif"
    printf '127.0.0.1 localhost\n' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    sleep 0.2
    timeout 60 unshare --net --mount "$0" "$program_dir" inside "$tmp" "$peer"
    exit
fi
tmp=$3 peer=$4
a_address=10.213.7.1 b_address=10.213.7.2
ip link set lo up
ip link add tessel-a type veth peer name tessel-b
ip link set tessel-b netns "$peer"
ip addr add "$a_address/30" dev tessel-a
ip link set tessel-a up
nsenter -t "$peer" -n sh -c "ip link set lo up && ip addr add $b_address/30 dev tessel-b && ip link set tessel-b up"
for _ in $(seq 50); do
    ip -o link show tessel-a | grep -q "state UP" && break
    sleep 0.1
done
mount --bind "$tmp/hosts" /etc/hosts

QT_QPA_PLATFORM=offscreen "$tmp/program/tessel" >"$tmp/tessel.log" 2>&1 &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT
wait_for_port

# Inside A: loopback answers with the reply.
curl -s -i --max-time 3 -o "$tmp/reply" http://127.0.0.1/ || true
expected_reply "$tmp/program/data/gray.gif" >"$tmp/reply.expected"
cmp -s "$tmp/reply" "$tmp/reply.expected" || fail "loopback reply differs: $(cat -A "$tmp/reply")"

# Only 127.0.0.1:80 is bound.
listeners=$(ss -Hltn 'sport = :80' | awk '{print $4}')
echo "listening on port 80: $listeners"
[ "$listeners" = "127.0.0.1:80" ] || fail "port 80 bound on: $listeners"

# From B to A's address: curl cannot connect, and the reason is a refusal (an answer from A's
# kernel, so the pair carries packets), not a timeout or a missing route.
status=0
nsenter -t "$peer" -n curl -sS --max-time 3 -o /dev/null "http://$a_address/" 2>"$tmp/b.err" || status=$?
echo "from the other namespace: curl status $status: $(cat "$tmp/b.err")"
[ "$status" -eq 7 ] || fail "from B: curl status $status, expected 7 (could not connect)"
nsenter -t "$peer" -n timeout 3 bash -c "exec 3<>/dev/tcp/$a_address/80" 2>"$tmp/b.raw" &&
    fail "from B: a connection to $a_address:80 was accepted"
echo "from the other namespace, plain connect: $(cat "$tmp/b.raw")"
grep -qi 'refused' "$tmp/b.raw" || fail "from B: not refused: $(cat "$tmp/b.raw")"

# Within A, to its own veth address: refused as well.
status=0
curl -sS --max-time 3 -o /dev/null "http://$a_address/" 2>"$tmp/a.err" || status=$?
[ "$status" -eq 7 ] || fail "A's own veth address: curl status $status: $(cat "$tmp/a.err")"
timeout 3 bash -c "exec 3<>/dev/tcp/$a_address/80" 2>"$tmp/a.raw" && fail "A's veth address accepted"
grep -qi 'refused' "$tmp/a.raw" || fail "A's own veth address: not refused: $(cat "$tmp/a.raw")"

kill -TERM "$pid"
wait "$pid" || fail "exit status $? after SIGTERM"
cmp "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not restored"
echo "PASS: the responder answers on loopback only"
