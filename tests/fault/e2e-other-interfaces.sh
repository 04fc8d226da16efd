#!/usr/bin/env bash
# Nothing from another interface reaches the responder: the program runs in namespace A, joined to
# namespace B by a veth pair on a private /30. Only 127.0.0.1:80 is bound and answers; from B, and
# from A itself, a connection to A's veth address on port 80 is refused (A's kernel answers, so the
# pair works, but nothing listens there). Both namespaces are the test's own and vanish with it.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
need
frame True gray.gif '127.0.0.1 localhost\n' "$@"
a_address=10.213.7.1 b_address=10.213.7.2
# Namespace B: a process that only holds it open.
unshare --net sleep 90 &
peer=$! pids+=($!)
sleep 0.2
ip link add tessel-a type veth peer name tessel-b
ip link set tessel-b netns "$peer"
ip addr add "$a_address/30" dev tessel-a
ip link set tessel-a up
nsenter -t "$peer" -n sh -c "ip link set lo up && ip addr add $b_address/30 dev tessel-b && ip link set tessel-b up"
for _ in $(seq 50); do ip -o link show tessel-a | grep -q "state UP" && break; sleep 0.1; done

QT_QPA_PLATFORM=offscreen launch tessel
wait_for_port
replies http://127.0.0.1/ gray.gif
listeners=$(ss -Hltn 'sport = :80' | awk '{print $4}')
[ "$listeners" = "127.0.0.1:80" ] || fail "port 80 bound on: $listeners"
for side in "nsenter -t $peer -n" ""; do
    status=0
    $side curl -sS --max-time 3 -o /dev/null "http://$a_address/" 2>"$tmp/err" || status=$?
    [ "$status" -eq 7 ] || fail "${side:-A}: curl status $status, expected 7 (could not connect)"
    $side timeout 3 bash -c "exec 3<>/dev/tcp/$a_address/80" 2>"$tmp/err" && fail "${side:-A}: accepted"
    grep -qi refused "$tmp/err" || fail "${side:-A}: not refused but: $(cat "$tmp/err")"
done
terminate "other interfaces"
given_back "other interfaces"
echo "PASS: the responder answers on loopback only"
