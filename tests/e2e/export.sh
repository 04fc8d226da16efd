#!/usr/bin/env bash
# `tessel --export` run by a user (nobody), from the user's own directory, against the real DNS
# servers in a private network namespace: dnsmasq and Unbound load the exported files and answer a
# listed name (from the server list and from a subscribed list's kept copy) with 0.0.0.0 and ::,
# while an allowed name and a name under a listed one get the server's own records;
# unbound-checkconf and named-checkzone accept the files; the HOSTS file is not touched.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need dnsmasq unbound unbound-checkconf named-checkzone dig setpriv
frame True gray.gif '127.0.0.1 localhost\n' "$@"
chmod 755 "$tmp"
config=$tmp/home/.config/tessel out=$tmp/out
mkdir -p "$config" "$out"
printf 'ad.e2e.example\r\nallowed.e2e.example\r\nbad!name\r\n' >"$config/badHosts.dat"
printf 'allowed.e2e.example\n' >"$config/allowed.dat"
url=file:///lists/tracking.txt
printf '%s\n' "$url" >"$config/lists.dat"
# The kept copy's name holds the URL's 64-bit FNV-1a hash; the shell's arithmetic wraps as it does.
key=14695981039346656037
for ((i = 0; i < ${#url}; i++)); do printf -v byte %d "'${url:i:1}" && key=$(((key ^ byte) * 1099511628211)); done
printf -v key %016x "$key"
printf '0.0.0.0 tracker.e2e.example\n' >"$config/list-$key.dat"
printf '%s\r\n\r\n\r\n%s\r\nUp to date\r\n' "$url" "$(date +%s)" >"$config/list-$key.state"
chown -R nobody "$tmp/home" "$out"

export_as_user() { as_user "$tmp/program/tessel" --export "$@"; }
for format in hosts dnsmasq unbound rpz adblock; do
    export_as_user "$format" "$out/tessel.$format" 2>"$tmp/$format.log" || fail "$format: $(cat "$tmp/$format.log")"
    grep -q '2 names exported; 1 left out' "$tmp/$format.log" || fail "$format: $(cat "$tmp/$format.log")"
    ! grep -q 'allowed\.e2e\.example' "$out/tessel.$format" || fail "$format: an allowed name was exported"
done
export_as_user adblock >"$tmp/stdout.adblock" 2>/dev/null
grep -qx '||tracker.e2e.example^' "$tmp/stdout.adblock" || fail "adblock to standard output"
grep -qx '0.0.0.0 ad.e2e.example tracker.e2e.example' "$out/tessel.hosts" || fail "hosts: $(cat "$out/tessel.hosts")"
cmp /etc/hosts "$tmp/hosts.orig" || fail "the HOSTS file was touched"
export_as_user nonsense 2>/dev/null && fail "an unknown format was taken"

# answers SERVER-PORT NAME TYPE EXPECTED
answers() {
    local got
    got=$(dig +short +time=2 +tries=3 @127.0.0.1 -p "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "port $1: $2 $3 gave '$got', not '$4'"
}
# The blocked names answer 0.0.0.0 and ::; the others get the server's own records.
check_server() {
    answers "$1" ad.e2e.example A 0.0.0.0
    answers "$1" ad.e2e.example AAAA ::
    answers "$1" tracker.e2e.example A 0.0.0.0
    answers "$1" sub.ad.e2e.example A 10.9.9.9
    answers "$1" allowed.e2e.example A 10.9.9.8
    # A name under a listed one that the server knows nothing of is not answered as blocked.
    got=$(dig +short +time=2 +tries=1 @127.0.0.1 -p "$1" other.ad.e2e.example A || true)
    [ "$got" != 0.0.0.0 ] || fail "port $1: a name under a listed one was blocked"
}

dnsmasq --keep-in-foreground --no-resolv --no-hosts --bind-interfaces --listen-address=127.0.0.1 \
    --port=5353 --user=root --host-record=sub.ad.e2e.example,10.9.9.9 \
    --host-record=allowed.e2e.example,10.9.9.8 --conf-file="$out/tessel.dnsmasq" 2>"$tmp/dnsmasq.log" &
pids+=($!)
eventually dig +short +time=1 @127.0.0.1 -p 5353 ad.e2e.example >/dev/null || fail "dnsmasq: $(cat "$tmp/dnsmasq.log")"
check_server 5353

cat >"$tmp/unbound.conf" <<CONF
server:
    interface: 127.0.0.1
    port: 5354
    username: ""
    chroot: ""
    pidfile: ""
    use-syslog: no
    local-data: "sub.ad.e2e.example. A 10.9.9.9"
    local-data: "allowed.e2e.example. A 10.9.9.8"
include: "$out/tessel.unbound"
CONF
unbound-checkconf "$tmp/unbound.conf" >/dev/null || fail "unbound-checkconf: $(unbound-checkconf "$tmp/unbound.conf" 2>&1)"
unbound -d -c "$tmp/unbound.conf" 2>"$tmp/unbound.log" &
pids+=($!)
eventually dig +short +time=1 @127.0.0.1 -p 5354 ad.e2e.example >/dev/null || fail "unbound: $(cat "$tmp/unbound.log")"
check_server 5354

named-checkzone rpz.tessel "$out/tessel.rpz" >"$tmp/checkzone.log" 2>&1 || fail "named-checkzone: $(cat "$tmp/checkzone.log")"
echo "PASS: export for the DNS servers"
