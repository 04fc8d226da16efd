#!/usr/bin/env bash
# Subscribed block lists end to end, from a local HTTP server: a hosts-format list of 500,000
# names, a plain list and an adblock-style list are merged with the server list and written, the
# allowed names never; a day later the downloads ask whether each list changed (If-None-Match,
# If-Modified-Since) and a 304 keeps the copies; a start whose downloads are cut halfway writes the
# last good copies at once and keeps them; SIGTERM gives the user's file back byte for byte. Rows:
# keep and replace mode.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need python3 curl getent
frame True gray.gif '127.0.0.1\tlocalhost\n10.1.2.3 printer\n' "$@"

serve=$tmp/serve
mkdir -p "$serve"
cat >"$tmp/serve.py" <<'EOF'
import http.server, os, sys, time
root = sys.argv[1]
class Lists(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = open(os.path.join(root, self.path.lstrip('/')), 'rb').read()
        tag = '"v1-%s"' % self.path.strip('/')
        with open(os.path.join(root, 'requests.log'), 'a') as log:
            log.write('%s %s %s\n' % (self.path, self.headers.get('If-None-Match'),
                                       self.headers.get('If-Modified-Since')))
        cut = os.path.exists(os.path.join(root, 'cut'))
        if self.headers.get('If-None-Match') == tag and not cut:
            self.send_response(304)
            self.end_headers()
            return
        self.send_response(200)
        self.send_header('Content-Length', str(len(body)))
        self.send_header('ETag', tag)
        self.send_header('Last-Modified', 'Mon, 07 Dec 2026 00:00:00 GMT')
        self.end_headers()
        if cut:
            self.wfile.write(body[:len(body) // 2])
            self.wfile.flush()
            time.sleep(8)  # then the connection closes, short of the length it announced
            return
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer(('127.0.0.1', 8080), Lists).serve_forever()
EOF
{ echo '# big list'; seq 0 499999 | awk '{ print "0.0.0.0 n" $1 ".big.example" }'; } >"$serve/big.txt"
printf 'plain.e2e.example\nAD.E2E.EXAMPLE\nbad name here\nplain-allowed.example\n' >"$serve/plain.txt"
printf '! title\n||adblock.e2e.example^\n||x.allowed.example^\n@@||ad.e2e.example^\n##.ad\n' \
    >"$serve/adblock.txt"
data=$tmp/program/data
printf '# lists\r\nhttp://127.0.0.1:8080/big.txt\r\nhttp://127.0.0.1:8080/plain.txt\r\nhttp://127.0.0.1:8080/adblock.txt\r\n' \
    >"$data/lists.dat"
printf 'plain-allowed.example\r\n*.allowed.example\r\n' >"$data/allowed.dat"
python3 "$tmp/serve.py" "$serve" &
pids+=($!)
eventually curl -sf -o /dev/null http://127.0.0.1:8080/plain.txt || fail "the list server did not start"

# Every subscribed name once, the allowed ones never, the big list nine names to a line.
written() {
    [ "$(grep -o 'n[0-9]*\.big\.example' /etc/hosts | wc -l)" = 500000 ] || fail "$1: not every name of the big list"
    grep -q '^127\.0\.0\.1   n0\.big\.example n1\.big\.example .* n15\.big\.example'$'\r''$' /etc/hosts ||
        fail "$1: the big list is not several names to a line"
    resolve n499999.big.example plain.e2e.example adblock.e2e.example ad.e2e.example
    [ "$(grep -ci 'ad\.e2e\.example' /etc/hosts)" = 1 ] || fail "$1: a listed name written twice"
    ! grep -q 'allowed\.example' /etc/hosts || fail "$1: an allowed name was written"
}
# The copies made a day old, and kept aside to compare, then the program started again.
a_day_later() {
    for state in "$data"/list-*.state; do sed -i '4s/^[0-9]*/0/' "$state"; done
    mkdir -p "$tmp/copies" && cp "$data"/list-*.dat "$tmp/copies/"
    QT_QPA_PLATFORM=offscreen launch "$1"
    wait_for_port
}
# Ten seconds are not always enough for half a million names on a busy machine.
slowly() { for _ in $(seq 300); do "$@" 2>/dev/null && return; sleep 0.1; done; return 1; }

for row in keep replace; do
    write_prefs "$([ $row = keep ] && echo True || echo False)" gray.gif
    rm -f "$data"/list-* "$serve/cut"
    cp "$tmp/hosts.orig" /etc/hosts
    QT_QPA_PLATFORM=offscreen launch "$row-fresh"
    wait_for_port
    slowly grep -q 'n499999\.big\.example' /etc/hosts || fail "$row: the big list never reached the HOSTS file"
    slowly grep -q adblock.e2e.example /etc/hosts || fail "$row: the adblock list never arrived"
    written "$row"
    terminate "$row"
    given_back "$row"

    # A day later each list is asked for only if it changed; the server says it has not.
    : >"$serve/requests.log"
    a_day_later "$row-unchanged"
    slowly eval '[ "$(grep -c "\"v1-.*\.txt\" Mon, 07 Dec 2026 00:00:00 GMT$" "$serve/requests.log")" = 3 ]' ||
        fail "$row: not asked whether each list changed: $(cat "$serve/requests.log")"
    slowly eval '! grep -q "^0$" "$data"/list-*.state' || fail "$row: a 304 left a copy out of date"
    for copy in "$tmp"/copies/*; do cmp "$copy" "$data/${copy##*/}" || fail "$row: a 304 replaced a copy"; done
    written "$row after a 304"
    terminate "$row"
    given_back "$row after a 304"

    # The copies are a day old, and every download now stops halfway.
    touch "$serve/cut"
    a_day_later "$row-cut"
    slowly grep -q 'n499999\.big\.example' /etc/hosts || fail "$row: the copies were not written"
    written "$row from the copies"
    ! grep -q '^Failed' "$data"/list-*.state || fail "$row: start-up waited for the downloads"
    slowly eval '[ "$(grep -l "^Failed" "$data"/list-*.state | wc -l)" = 3 ]' ||
        fail "$row: a cut download was not reported: $(cat "$data"/list-*.state)"
    for copy in "$tmp"/copies/*; do cmp "$copy" "$data/${copy##*/}" || fail "$row: a cut download replaced a copy"; done
    written "$row after the cut"
    terminate "$row"
    given_back "$row after the cut"
done
echo "PASS: block lists"
