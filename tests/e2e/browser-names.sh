#!/usr/bin/env bash
# The first bytes real browsers send to a blocked server name the server they meant: headless
# Chromium and Firefox load an http and an https address whose names point at a capture server on
# 127.0.0.1:80 and :443, and the checker ($2, tessel_server_name) must read that name from every
# request and every ClientHello they sent, extra connections included. With TESSEL_CAPTURE_CORPUS
# set to a directory, one capture of each kind per browser is copied there as fuzz seeds.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need chromium firefox-esr python3
checker=${2:-}
[ -x "$checker" ] || { echo "SKIP: no server name checker"; exit 77; }
if [ "${3:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    # Browsers fold the name's case themselves; the upper case letters show they do not need to.
    printf '127.0.0.1 localhost\n127.0.0.1 Ad.Capture.Example tls.capture.example\n' >"$tmp/hosts"
    timeout 110 unshare --net --mount "$0" "$1" "$checker" inside "$tmp"
    exit
fi
tmp=$4 pids=()
trap 'kill -9 "${pids[@]}" 2>/dev/null || true' EXIT
ip link set lo up
mount --bind "$tmp/hosts" /etc/hosts

# Each connection's first bytes into a file of its own, written whole under its final name: up to
# 16 KiB, until the request's head ends or the peer is quiet for a second. Port 80 answers with a
# picture so the page settles; port 443 closes, as the blocked server would.
cat >"$tmp/capture.py" <<'PY'
import os, socket, sys, threading
out, count, lock = sys.argv[1], [0], threading.Lock()
def keep(peer, port):
    with lock:
        count[0] += 1
        number = count[0]
    data = b""
    peer.settimeout(1)
    try:
        while len(data) < 16384 and not (port == 80 and b"\r\n\r\n" in data):
            more = peer.recv(16384 - len(data))
            if not more or port == 443:
                data += more
                break
            data += more
    except OSError:
        pass
    name = os.path.join(out, f"{port}-{number}")
    with open(name + ".part", "wb") as f:
        f.write(data)
    os.rename(name + ".part", name)
    if port == 80 and data:
        gif = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b")
        peer.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: %d\r\n\r\n" % len(gif) + gif)
    peer.close()
def serve(listener, port):
    while True:
        peer, _ = listener.accept()
        threading.Thread(target=keep, args=(peer, port), daemon=True).start()
for port in (80, 443):
    listener = socket.create_server(("127.0.0.1", port))
    threading.Thread(target=serve, args=(listener, port), daemon=True).start()
open(os.path.join(out, "ready"), "w").close()
threading.Event().wait()
PY
mkdir "$tmp/captures"
python3 "$tmp/capture.py" "$tmp/captures" 2>"$tmp/capture.log" &
pids+=($!)
eventually test -e "$tmp/captures/ready" || fail "the capture server did not start: $(cat "$tmp/capture.log")"
rm "$tmp/captures/ready"

# Moves what the capture server kept so far to $tmp/$1, once every connection is written.
collect() {
    sleep 1.5
    mkdir -p "$tmp/$1"
    find "$tmp/captures" -maxdepth 1 -type f ! -name '*.part' -exec mv {} "$tmp/$1/" \;
}
http=http://Ad.Capture.Example:80/x.gif https=https://tls.capture.example/

for url in "$http" "$https"; do
    timeout 30 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$tmp/chromium-profile" --dump-dom "$url" >/dev/null 2>>"$tmp/chromium.log" ||
        fail "chromium failed on $url: $(tail -n 5 "$tmp/chromium.log")"
done
collect chromium

# Firefox may linger after loading, so it runs in a process group of its own that is ended once
# its connections have arrived.
mkdir -p "$tmp/ffhome" "$tmp/ffprofile"
for url in "$http" "$https"; do
    HOME=$tmp/ffhome MOZ_DISABLE_CONTENT_SANDBOX=1 setsid firefox-esr --headless --no-remote \
        --profile "$tmp/ffprofile" --screenshot "$tmp/firefox.png" "$url" >>"$tmp/firefox.log" 2>&1 &
    firefox=$!
    pids+=(-"$firefox")
    port=80
    [ "$url" = "$https" ] && port=443
    for _ in $(seq 300); do compgen -G "$tmp/captures/$port-*" >/dev/null && break; sleep 0.1; done
    sleep 2
    kill -TERM -- -"$firefox" 2>/dev/null || true
    wait "$firefox" || true
done
collect firefox

# Every connection that sent bytes names the server; a preconnected socket closed unused sent none.
check() {
    local browser=$1 port=$2 kind=$3 expected=$4 seen=0 file name
    for file in "$tmp/$browser/$port"-*; do
        [ -s "$file" ] || continue
        name=$("$checker" "$kind" "$file") || fail "$browser: no name in $(basename "$file"): $(head -c 300 "$file" | cat -v)"
        [ "$name" = "$expected" ] || fail "$browser: $(basename "$file") names $name, not $expected"
        seen=$((seen + 1))
        if [ -n "${TESSEL_CAPTURE_CORPUS:-}" ] && [ "$seen" -eq 1 ]; then
            local target=fuzz_http_host suffix=request
            [ "$kind" = tls ] && target=fuzz_tls_sni suffix=hello
            mkdir -p "$TESSEL_CAPTURE_CORPUS/$target"
            cp "$file" "$TESSEL_CAPTURE_CORPUS/$target/$browser-$suffix"
        fi
    done
    [ "$seen" -gt 0 ] || fail "$browser sent nothing to port $port"
    echo "$browser: $seen connections to port $port name $expected"
}
for browser in chromium firefox; do
    check "$browser" 80 http ad.capture.example
    check "$browser" 443 tls tls.capture.example
done
echo "PASS: every request and ClientHello of Chromium and Firefox names its server"
