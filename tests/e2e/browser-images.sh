#!/usr/bin/env bash
# A real browser against the real program: headless Chromium loads a local page with one http and
# one https banner from listed servers. The http banner shows the chosen picture at its own size
# (black.gif is 1x1), the https one fails at once, and the floating counter rises by one for the
# http banner and one for each connection the browser made to port 443: its picture then matches
# the one it shows after as many plain requests.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need chromium trayer xdotool
frame True black.gif '127.0.0.1 localhost\n' "$@"
mkdir "$tmp/www"
cat >"$tmp/www/index.html" <<'PAGE'
<script>const start = performance.now(), seen = [];
function settle(image, outcome) {
    seen.push(`${image.id} ${outcome} ${image.naturalWidth}x${image.naturalHeight} ${Math.round(performance.now() - start)}`);
    document.getElementById('result').textContent = seen.sort().join('; ');
}</script>
<img id="http" src="http://ad.e2e.example/banner.gif" onload="settle(this, 'load')" onerror="settle(this, 'error')">
<img id="https" src="https://track.e2e.example/banner.gif" onload="settle(this, 'load')" onerror="settle(this, 'error')">
<p id="result">pending</p>
PAGE
start_display tray
python3 -m http.server 8000 --bind 127.0.0.1 --directory "$tmp/www" >/dev/null 2>&1 &
pids+=($!)
launch tessel
wait_for_port
# The first of the two "R" items is Reset Counter.
reset_counter() { open_menu; xdotool key r key Return; }
same() { [ "$(convert "$art/browser-$1.png" rgb:- | md5sum)" = "$(convert "$art/browser-$2.png" rgb:- | md5sum)" ]; }
open_menu
xdotool key f
floater=$(window_named Tessel 5) || fail "no floating counter"
# Without a window manager the counter opens over the tray: move it out of the menu's way.
xdotool windowmove "$floater" 400 300
reset_counter
shot browser-zero "$floater"
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$tmp/profile" --dump-dom http://127.0.0.1:8000/ \
    >"$tmp/dom.html" 2>"$tmp/chromium.log" || fail "chromium failed: $(tail -n 5 "$tmp/chromium.log")"
result=$(sed -n 's:.*<p id="result">\([^<]*\)</p>.*:\1:p' "$tmp/dom.html")
[[ $result =~ ^http\ load\ 1x1\ [0-9]+\;\ https\ error\ 0x0\ ([0-9]+)$ ]] || fail "unexpected outcome: $result"
[ "${BASH_REMATCH[1]}" -lt 1000 ] || fail "the https image took ${BASH_REMATCH[1]} ms to fail"
# Tessel closes first, so each port 443 connection it closed lingers on its side. Chromium gives a
# failed TLS connection one more try, so one https banner is two connections, each counted.
tls=$(ss -Htan state time-wait 'sport = :443' | wc -l)
[ "$tls" -ge 1 ] && [ "$tls" -le 2 ] || fail "$tls connections to port 443 for one banner"
shot browser-browser "$floater"
same browser zero && fail "the count did not rise"
reset_counter
for _ in $(seq $((1 + tls))); do curl -s -o /dev/null --max-time 2 http://127.0.0.1/; done
shot browser-reference "$floater"
same browser reference || fail "the count did not rise by exactly $((1 + tls)) (see browser-*.png)"
terminate "browser"
echo "PASS: a real browser shows the picture and both banners count"
