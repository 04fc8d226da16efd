#!/usr/bin/env bash
# The Statistics window on a virtual desktop with a tray host: the counts kept in stats.dat and
# those of fresh requests show in it, most blocked first with the list that blocks each, opened from
# the tray menu's Advanced submenu. The table is read black-box, through the clipboard.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
need trayer xdotool xclip python3
frame True black.gif '127.0.0.1 localhost\r\n' "$@"
data=$tmp/program/data
# 90 days of hours, busier by day and in the last week, and servers counted in falling numbers.
now=$(date +%s)
printf '%s\n' ad.e2e.example pixel.adnet.example track.e2e.example banner.adnet.example \
    metrics.tracker.example cdn.adserve.example beacon.stats.example sync.bidder.example \
    tag.analytics.example img.adserve.example cookie.match.example js.adnet.example \
    affiliate.link.example heatmap.session.example geo.targeting.example >"$tmp/names"
awk -v now="$now" 'BEGIN {
    print "Tessel statistics 1"
    for (ago = 2159; ago >= 0; ago--) {
        hour = int(now / 3600) - ago; busy = (hour + 2) % 24 > 7 && (hour + 2) % 24 < 23 ? 40 : 4
        if (ago >= 168) busy = int(busy / 3) + 1
        printf "hour\t%d\t%d\n", hour, busy + (ago * 7919) % (busy + 1)
    }
} { printf "server\t%d\t%d\t%s\n", int(4000 / NR) + 30 - NR, now - NR * 97, $0 }
END { printf "server\t41\t%d\t(no name)\nserver\t12\t%d\t(others)\n", now - 600, now - 5000 }' \
    "$tmp/names" >"$data/stats.dat"
# Most names are on the server list; a subscribed list, downloaded at the start, holds the rest.
sed -n '2p;4,12p' "$tmp/names" | sed 's/$/\r/' >>"$data/badHosts.dat"
mkdir "$tmp/www"
sed -n '13,$p' "$tmp/names" >"$tmp/www/trackers.txt"
list=http://127.0.0.1:8080/trackers.txt
echo "$list" >"$data/lists.dat"
python3 -m http.server 8080 --bind 127.0.0.1 --directory "$tmp/www" >/dev/null 2>&1 &
pids+=($!)
eventually curl -sf -o /dev/null "$list" || fail "the list's server did not start"
start_display tray
launch tessel
wait_for_port
for _ in 1 2 3; do curl -s -o /dev/null --max-time 2 -H 'Host: Ad.E2E.Example:80' http://127.0.0.1/; done
curl -s -o /dev/null --max-time 2 -H 'Host: pixel.adnet.example' http://127.0.0.1/
open_menu
xdotool key v t
statistics=$(window_named Statistics 5) || fail "Advanced, Statistics opened no window"
xdotool windowmove "$statistics" 20 30
sleep 1.5 # the counts of the requests arrive with the next batch and the window's next refresh
shot statistics-window "$statistics"
press "$statistics" ctrl+a ctrl+c
sleep 0.5
xclip -o -selection clipboard >"$tmp/rows" || fail "nothing copied from the table"
expected=$(printf '%s\n' "ad.e2e.example	4032	Server list" "pixel.adnet.example	2029	Server list" \
    "track.e2e.example	1360	Server list" "banner.adnet.example	1026	Server list")
top=$(head -n 4 "$tmp/rows" | cut -f 1,2,4)
[ "$top" = "$expected" ] || fail "top rows: $(head -n 4 "$tmp/rows" | cat -A)"
grep -q "^affiliate.link.example	[0-9]*	[0-9 :-]*	$list$" "$tmp/rows" ||
    fail "a subscribed list's server does not name its list: $(grep affiliate "$tmp/rows" | cat -A)"
while read -r name; do
    grep -q "^$name	" "$tmp/rows" || fail "$name was not copied"
done <"$tmp/names"
press "$statistics" alt+c
sleep 0.5
[ -z "$(window_named Statistics 1)" ] || fail "Close did not close the window"
terminate "the end"
echo "PASS: statistics window"
