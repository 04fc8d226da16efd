#!/usr/bin/env bash
# Real browsers against the program as a user runs it, through the helper: headless Chromium, then
# Firefox, load an http and an https address of two names on the program's list, and after each
# browser `tessel --stats` has counted both names more often and never a request without one.
# With TESSEL_CAPTURE_CORPUS set to a directory, the first request and the first TLS greeting each
# browser sent are kept there as fuzz seeds, read off the program's own receives by strace.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need chromium firefox-esr setpriv strace /usr/bin/python3
frame True gray.gif '127.0.0.1 localhost\n' "$@"
printf 'Ad.Capture.Example\r\ntls.capture.example\r\n' >>"$tmp/program/data/badHosts.dat"
grant_in_private_etc
export QT_QPA_PLATFORM=offscreen
http=http://Ad.Capture.Example:80/x.gif https=https://tls.capture.example/

chromium_loads() {
    timeout 30 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$tmp/chromium-profile" --dump-dom "$1" >/dev/null 2>>"$tmp/chromium.log" ||
        fail "chromium failed on $1: $(tail -n 5 "$tmp/chromium.log")"
}
# Firefox lingers after a headless screenshot: it runs in a process group of its own, ended after
# a while.
firefox_loads() {
    mkdir -p "$tmp/ffhome" "$tmp/ffprofile"
    HOME=$tmp/ffhome MOZ_DISABLE_CONTENT_SANDBOX=1 setsid firefox-esr --headless --no-remote \
        --profile "$tmp/ffprofile" --screenshot "$tmp/firefox.png" "$1" >>"$tmp/firefox.log" 2>&1 &
    local firefox=$!
    pids+=(-"$firefox")
    sleep 6
    kill -TERM -- -"$firefox" 2>/dev/null || true
    wait "$firefox" || true
}
count_of() { as_user "$tmp/program/tessel" --stats | awk -F'\t' -v name="$1" '$2 == name { print $1 }'; }
# strace prints what each receive took as \xNN escapes; the first request and greeting are kept.
keep_seeds() {
    /usr/bin/python3 - "$tmp/trace" "$TESSEL_CAPTURE_CORPUS" "$1" <<'PY'
import os, re, sys
trace, corpus, browser = sys.argv[1:]
kept = set()
for line in open(trace):
    found = re.search(r'recvfrom\(\d+, "((?:\\x[0-9a-f]{2})+)"', line)
    data = bytes.fromhex(found.group(1).replace("\\x", "")) if found else b""
    kind = "fuzz_http_host" if data.startswith(b"GET ") else "fuzz_tls_sni" if data.startswith(b"\x16\x03") else None
    if kind and kind not in kept:
        kept.add(kind)
        os.makedirs(os.path.join(corpus, kind), exist_ok=True)
        name = browser + ("-request" if kind == "fuzz_http_host" else "-hello")
        open(os.path.join(corpus, kind, name), "wb").write(data)
PY
}

ad=0 tls=0
for browser in chromium firefox; do
    [ -z "${TESSEL_CAPTURE_CORPUS:-}" ] || tracer="strace -f -qq -e trace=recvfrom -xx -s 16384 -o $tmp/trace"
    launch_user "$browser"
    "${browser}_loads" "$http"
    "${browser}_loads" "$https"
    sleep 0.5
    pkill -TERM -x tessel # not $pid, which may be the tracer's
    wait "$pid" || fail "$browser: the program did not end well: $(cat "$tmp/$browser.log")"
    [ -z "${TESSEL_CAPTURE_CORPUS:-}" ] || keep_seeds "$browser"
    [ "$(count_of ad.capture.example)" -gt "$ad" ] || fail "$browser: no request counted under its name"
    [ "$(count_of tls.capture.example)" -gt "$tls" ] || fail "$browser: no greeting counted under its name"
    [ -z "$(count_of '(no name)')" ] || fail "$browser: a request was counted without a name"
    ad=$(count_of ad.capture.example) tls=$(count_of tls.capture.example)
    echo "$browser: $ad requests and $tls greetings counted so far"
done
given_back "the end"
echo "PASS: Chromium's and Firefox's requests and greetings are counted under their names"
