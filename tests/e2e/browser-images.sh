#!/usr/bin/env bash
# A real browser against the real program: headless Chromium loads a local page with one http and
# one https banner from listed servers. The http banner shows the chosen picture at its own size
# (black.gif is 1x1), the https one fails at once, and the floating counter rises by one for the
# http banner and one for each connection the browser made to port 443: its picture then matches
# the one it shows after as many plain requests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
need_root
command -v chromium >/dev/null || { echo "SKIP: chromium is not installed"; exit 77; }
command -v trayer >/dev/null && command -v xdotool >/dev/null || { echo "SKIP: no trayer/xdotool"; exit 77; }
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/black.gif"
    printf '127.0.0.1 localhost\n' >"$tmp/hosts"
    mkdir "$tmp/www"
    cat >"$tmp/www/index.html" <<'EOF'
<!doctype html>
<html><head><script>
const start = performance.now();
const seen = [];
function settle(image, outcome) {
    seen.push(image.id + ' ' + outcome + ' ' + image.naturalWidth + 'x' + image.naturalHeight +
              ' ' + Math.round(performance.now() - start));
    if (seen.length === 2) {
        document.getElementById('result').textContent = seen.sort().join('; ');
    }
}
</script></head><body>
<img id="http" src="http://ad.e2e.example/banner.gif" onload="settle(this, 'load')" onerror="settle(this, 'error')">
<img id="https" src="https://track.e2e.example/banner.gif" onload="settle(this, 'load')" onerror="settle(this, 'error')">
<p id="result">pending</p>
</body></html>
EOF
    unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"

start_display
start_tray
python3 -m http.server 8000 --bind 127.0.0.1 --directory "$tmp/www" >/dev/null 2>&1 &
web=$!
trap 'kill -9 ${pid:-} $web $tray $xvfb 2>/dev/null || true' EXIT
sleep 1

"$tmp/program/tessel" >"$tmp/tessel.log" 2>&1 &
pid=$!
wait_for_port

open_menu() { xdotool mousemove 12 12 click 3; sleep 0.7; }
# The first of the two "R" items is Reset Counter.
reset_counter() { open_menu; xdotool key r key Return; }
counter_shot() { sleep 0.7; import -window "$floater" "$art/browser-counter-$1.png"; }
same_picture() { [ "$(convert "$1" rgb:- | md5sum)" = "$(convert "$2" rgb:- | md5sum)" ]; }

open_menu
xdotool key f
floater=$(timeout 5 xdotool search --sync --onlyvisible --name '^Tessel$' | head -n 1) ||
    fail "no floating counter"
# Without a window manager the counter opens over the tray: move it out of the menu's way.
xdotool windowmove "$floater" 400 300
reset_counter
counter_shot zero

chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$tmp/profile" --dump-dom http://127.0.0.1:8000/ >"$tmp/dom.html" 2>"$tmp/chromium.log" ||
    fail "chromium failed: $(tail -n 5 "$tmp/chromium.log")"
result=$(sed -n 's:.*<p id="result">\([^<]*\)</p>.*:\1:p' "$tmp/dom.html")
echo "images: $result"
[[ $result =~ ^http\ load\ 1x1\ [0-9]+\;\ https\ error\ 0x0\ ([0-9]+)$ ]] ||
    fail "unexpected outcome: ${result:-no result in the page}"
[ "${BASH_REMATCH[1]}" -lt 1000 ] || fail "the https image took ${BASH_REMATCH[1]} ms to fail"

# Tessel closes first, so each port 443 connection it closed lingers on its side. Chromium gives a
# failed TLS connection one more try, so one https banner is two connections, each counted.
tls=$(ss -Htan state time-wait 'sport = :443' | wc -l)
echo "port 443 connections closed: $tls"
[ "$tls" -ge 1 ] && [ "$tls" -le 2 ] || fail "$tls connections to port 443 for one banner"
counter_shot browser
same_picture "$art/browser-counter-browser.png" "$art/browser-counter-zero.png" &&
    fail "the count did not rise"
# The reference: the counter after as many plain requests as the browser made connections.
reset_counter
for _ in $(seq $((1 + tls))); do curl -s -o /dev/null --max-time 2 http://127.0.0.1/; done
counter_shot reference
same_picture "$art/browser-counter-browser.png" "$art/browser-counter-reference.png" ||
    fail "the count did not rise by exactly $((1 + tls)) (see browser-counter-*.png)"

kill -TERM "$pid"
wait "$pid" || fail "exit status $? after SIGTERM"
echo "PASS: a real browser shows the picture and both banners count"
