#!/usr/bin/env bash
# The helper as the trust boundary, one row per way its callers got past it: Tessel run as
# unprivileged members of the group tessel (nobody, and a second user), and the helper driven
# directly by a member (helper_client.py), in a private /etc where grant.sh made the group.
#   second-start     a second start, by the same user and by another member, while the first
#                    filters in replace mode: the apology, no helper, no file or port touched
#   copy-and-rename  a second helper says Hello while the first is held between writing its kept
#                    copy and renaming its new file: it is refused, and the original comes back
#   loose-list       a hand-edited server list is written byte for byte as root writes it; an
#                    unsafe line is left out alone, and said so
#   cut-in-place     a bind-mounted /etc/hosts, its rewrite cut at a chosen byte by a file size
#                    limit set meanwhile with SIGXFSZ ignored: the next start finishes the rewrite
#                    and the original comes back whole
#   keep-twice       keep mode written three times leaves one block, and a kill and the next
#                    Hello still give the original back
#   inherited        too few descriptors allowed are refused; a descriptor left open is closed
#   pause-resume     a paused program refuses connections; Resume listens on the same ports again
#   kill-nine        kill -9 of tessel: the helper gives the file back within a second, and ends
#   traced           the helper writes no path but the HOSTS file, its kept copy, lock and temporaries
#   refused          a setuid copy refuses to serve; a user outside the group cannot run the helper
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need setpriv setcap groupadd strace prlimit /usr/bin/python3 Xvfb xdotool trayer
frame False gray.gif '' "$@"
grant_in_private_etc
cp "$(dirname "$0")/helper_client.py" "$tmp/"
export QT_QPA_PLATFORM=offscreen
helper=$tmp/program/tessel-helper

client() { as_user /usr/bin/python3 "$tmp/helper_client.py" "$@"; }
# The user's own HOSTS file, with LINES after its two, and a user who has not run Tessel yet: how
# each row starts.
original() {
    printf '127.0.0.1\tlocalhost\n10.1.2.3 printer\n%s' "${1:-}" >/etc/hosts
    chown 0:0 /etc/hosts && chmod 644 /etc/hosts
    cp /etc/hosts "$tmp/hosts.orig"
    rm -rf "$tmp/home/.config"
}
stopped() {
    terminate "$1"
    given_back "$1"
}
no_redo() { [ ! -e /etc/.tessel-redo-hosts ] || fail "$1: a redo copy was left behind"; }
# held_client SYSCALL:N[,...] BEFORE ARGS...: the member's client under `strace`, with the Nth call
# of SYSCALL in each process held for 4 s; waits until the trace shows BEFORE, the rename just
# before. Sets `pid`; the client's output is in $tmp/held.log.
held_client() {
    local tracer="strace -f -qq -o $tmp/trace -e trace=rename,renameat,renameat2" call before=$2
    for call in ${1//,/ }; do tracer+=" -e inject=${call%:*}:delay_enter=4000000:when=${call#*:}"; done
    shift 2
    launch_user held /usr/bin/python3 "$tmp/helper_client.py" "$@"
    eventually grep -q "$before" "$tmp/trace" || fail "the held helper never got there: $(cat "$tmp/held.log")"
}

row_second_start() {
    start_display
    launch_user first
    local first=$pid
    # What the running helper holds: no environment, no right to bind once bound, and no
    # descriptor but its link, its standard output and error, its lock and its two ports.
    local running
    running=$(pgrep -P "$first" -x tessel-helper) || fail "no helper"
    [ ! -s "/proc/$running/environ" ] || fail "the helper got an environment: $(tr '\0' ' ' <"/proc/$running/environ")"
    caps=$(sed -n 's/^CapPrm:\t//p' "/proc/$running/status")
    (((16#$caps & (1 << 10)) == 0)) ||
        fail "the helper kept the right to bind low ports"
    fds=$(ls "/proc/$running/fd" | sort -n | tr '\n' ' ')
    [ "$fds" = "0 1 2 3 4 5 " ] || fail "the helper holds descriptors $fds"
    cp /etc/hosts "$tmp/hosts.filtering"
    for user in nobody 4242; do
        rm -rf "$tmp/home-4242"
        QT_QPA_PLATFORM=xcb who=$user launch_user "second-$user" "$tmp/program/tessel"
        box=$(window_named Tessel) && [ -n "$box" ] || fail "second start by $user showed no message"
        ! pgrep -P "$pid" tessel-helper >/dev/null || fail "second start by $user started a helper"
        cmp -s /etc/hosts "$tmp/hosts.filtering" || fail "second start by $user changed /etc/hosts"
        [ -e /etc/.hosts-before-tessel ] || fail "second start by $user removed the kept copy"
        [ "$user" = nobody ] || [ ! -e "$tmp/home-4242/.config" ] || fail "second start by $user made files"
        press "$box" Return
        gone "second start by $user did not end"
        pid=$first
        replies http://ad.e2e.example/x.gif gray.gif
    done
    stopped "second-start"
}

row_copy_and_rename() {
    held_client rename:2 '^[0-9]* *rename.*before-tessel.* = 0' "$helper" hello write-replace="$tmp/program/data/badHosts.dat" sleep=1
    second=$(client "$helper" hello)
    grep -q 'hello: failed number=11 .*another tessel-helper' <<<"$second" || fail "a second helper was not refused: $second"
    wait "$pid" || true
    grep -q 'write-replace: ok' "$tmp/held.log" || fail "the held helper did not write: $(cat "$tmp/held.log")"
    given_back "copy-and-rename"
    [ ! -e /etc/.hosts-before-tessel ] || fail "copy-and-rename: the kept copy stayed"
}

row_loose_list() {
    start_display
    printf 'ad.e2e.example\r\n   \r\n# a comment\r\nad\ttab.e2e.example\r\ntrail.e2e.example \r\ncaf\xc3\xa9.e2e.example\nlast.e2e.example' \
        >"$tmp/program/data/badHosts.dat"
    launch root
    wait_for_port
    cp /etc/hosts "$tmp/hosts.root"
    terminate "loose list as root"
    launch_user loose
    cmp /etc/hosts "$tmp/hosts.root" || fail "loose-list: not the bytes root writes: $(diff <(cat -A "$tmp/hosts.root") <(cat -A /etc/hosts))"
    resolve ad.e2e.example trail.e2e.example last.e2e.example
    stopped "loose-list"
    # A line break inside a line, and a line past the bound: each left out alone, and said so.
    printf 'ad.e2e.example\r\nbad\rline.e2e.example\r\n%s\r\nlast.e2e.example\r\n' "$(head -c 5000 /dev/zero | tr '\0' a)" \
        >"$tmp/home/.config/tessel/badHosts.dat"
    QT_QPA_PLATFORM=xcb launch_user unsafe "$tmp/program/tessel"
    box=$(window_named Tessel) && [ -n "$box" ] || fail "loose-list: no word of the lines left out"
    press "$box" Return
    wait_for_port
    resolve ad.e2e.example last.e2e.example
    ! grep -q 'bad' /etc/hosts || fail "loose-list: a line with a CR was written"
    stopped "unsafe lines"
    printf 'ad.e2e.example\r\n\r\ntrack.e2e.example\r\n' >"$tmp/program/data/badHosts.dat"
}

row_cut_in_place() {
    # A big file of the user's, bound over /etc/hosts as in a container: rewritten in place.
    original "$(for i in $(seq 600); do echo "# the user's own line $i, kept long enough"; done)"
    cp /etc/hosts "$tmp/bound"
    mount --bind "$tmp/bound" /etc/hosts
    for i in $(seq 3000); do echo "name$i.e2e.example"; done >"$tmp/big.dat"
    # Renames: the kept copy, the refused rename over the bound file, then the copy to redo from
    # (made by renameat2, or by a third rename in an earlier helper).
    held_client rename:3,renameat2:1 'EBUSY' --ignore-xfsz "$helper" hello write-replace="$tmp/big.dat"
    # The member may do this itself: the helper runs under the member's own user and group.
    as_user prlimit --pid "$(sed -n 's/^helper //p' "$tmp/held.log")" --fsize=8192:8192
    wait "$pid" || true
    grep -q "write-replace: link closed" "$tmp/held.log" || fail "cut-in-place: the rewrite was not cut: $(cat "$tmp/held.log")"
    client "$helper" hello giveback-replace >"$tmp/next.out"
    grep -q 'giveback-replace: ok' "$tmp/next.out" || fail "cut-in-place: $(cat "$tmp/held.log" "$tmp/next.out")"
    given_back "cut-in-place"
    no_redo "cut-in-place"
    umount /etc/hosts
}

row_keep_twice() {
    list=$tmp/program/data/badHosts.dat
    launch_user keep /usr/bin/python3 "$tmp/helper_client.py" "$helper" hello write-keep="$list" write-keep="$list" write-keep="$list" sleep=30
    eventually eval '[ "$(grep -c "^write-keep: ok" "$tmp/keep.log")" = 3 ]' || fail "keep-twice: $(cat "$tmp/keep.log")"
    [ "$(grep -c '^#Following lines created by Tessel' /etc/hosts)" = 1 ] || fail "keep-twice: blocks piled up: $(cat -A /etc/hosts)"
    pkill -KILL -x tessel-helper
    client "$helper" hello giveback-keep >/dev/null
    given_back "keep-twice"
}

row_inherited() {
    out=$(client --nofile 16:16 "$helper" hello)
    grep -q 'hello: failed number=24 ' <<<"$out" || fail "a helper with too few descriptors served: $out"
    # A descriptor left open by the caller is closed before anything else runs.
    launch_user extra /usr/bin/python3 "$tmp/helper_client.py" --extra-fd "$tmp/program/data/badHosts.dat" "$helper" hello sleep=2
    eventually grep -q '^hello: ok' "$tmp/extra.log" || fail "inherited: $(cat "$tmp/extra.log")"
    ! ls -l "/proc/$(sed -n 's/^helper //p' "$tmp/extra.log")/fd" | grep -q badHosts ||
        fail "the helper kept a descriptor its caller left open"
    wait "$pid"
    given_back "inherited"
}

# Pause and Resume from the tray menu: the ports were bound once, so a paused program refuses
# connections at once (never leaves them waiting) and Resume listens on the same sockets again.
row_pause_resume() {
    start_display tray
    QT_QPA_PLATFORM=xcb launch_user pause
    # The icon is in the tray once the tray's corner shows more than its own two colours.
    eventually eval '[ "$(import -window root -crop 24x24+0+0 +repage png:- | convert - -format %k info:)" -gt 2 ]' ||
        fail "pause-resume: no icon in the tray"
    open_menu && xdotool key p && sleep 1
    local status=0
    curl -s -o /dev/null --max-time 3 http://127.0.0.1/ || status=$?
    [ "$status" = 7 ] || fail "pause-resume: port 80 not refused while paused (curl $status)"
    given_back "paused"
    open_menu && xdotool key r r Return && sleep 1
    wait_for_port
    resolve ad.e2e.example
    stopped "pause-resume"
    kill "$xvfb"
}

# kill -9 of tessel, in keep and replace mode: the helper gives the file back, with its owner and
# mode, within a second, and ends.
row_kill_nine() {
    for mode in True False; do
        write_prefs $mode gray.gif
        original
        chown 0:4 /etc/hosts && chmod 0604 /etc/hosts && cp -p /etc/hosts "$tmp/hosts.orig"
        launch_user "kill-$mode"
        replies http://ad.e2e.example/x.gif gray.gif
        [ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "$mode: owner or mode not kept while filtering"
        [ "$(stat -c %U "$tmp/home/.config/tessel/prefs.dat")" = nobody ] || fail "$mode: prefs.dat not the user's"
        local running
        running=$(pgrep -P "$pid" -x tessel-helper) || fail "$mode: no helper"
        start=$(date +%s%N)
        kill -KILL "$pid"
        for _ in $(seq 1000); do cmp -s /etc/hosts "$tmp/hosts.orig" && break; sleep 0.01; done
        given_back "$mode after kill -9"
        (($(date +%s%N) - start < 3000000000)) || fail "$mode: the give-back took far longer than a second"
        eventually eval '[ ! -e /proc/$running ] || grep -q ") Z" /proc/$running/stat' || fail "$mode: helper still running"
        [ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "$mode: owner or mode not given back"
    done
    write_prefs False gray.gif
}

# Replace mode under strace, ended by SIGTERM: every path the helper created, opened for writing,
# renamed, removed or re-owned is the HOSTS file, its kept copy, its lock or a temporary, and a file
# in /etc is never made by name.
row_traced() {
    local calls=execve,open,openat,creat,rename,renameat,renameat2,unlink,unlinkat,truncate,chmod,fchmodat,chown,fchownat,link,linkat,mkdir
    # The leak checker cannot run under a tracer.
    ASAN_OPTIONS=detect_leaks=0 tracer="strace -f -qq -o $tmp/trace -e trace=$calls" launch_user traced
    kill -TERM "$(pgrep -f -n "^$tmp/program/tessel\$")"
    wait "$pid" || fail "traced: exit status $? after SIGTERM"
    given_back "traced run"
    local traced lines written outside
    traced=$(sed -n 's/^\([0-9]*\) \+execve("[^"]*tessel-helper".*/\1/p' "$tmp/trace" | head -n 1)
    [ -n "$traced" ] || fail "the trace shows no helper"
    lines=$(grep -E "^$traced +[a-z0-9]+\(" "$tmp/trace" | grep -v '= -1 ')
    written=$(grep -vE ' (execve|openat?)\(' <<<"$lines"; grep -E ' openat?\(' <<<"$lines" | grep -v O_TMPFILE | grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC' || true)
    grep -q '/etc/.hosts-before-tessel' <<<"$written" || fail "the trace shows no kept copy being written"
    ! grep -E ' openat?\(.*"/etc/.*O_CREAT' <<<"$lines" || fail "the helper made a file in /etc by name"
    outside=$(grep -oE '"/[^"]*"' <<<"$written" | tr -d '"' | sort -u |
        grep -vE '^(/etc/(hosts|\.hosts-before-tessel|\.tessel-helper\.lock|\.tessel-[A-Za-z0-9]{6})|/proc/self/.*)$' || true)
    [ -z "$outside" ] || fail "the helper wrote beyond the HOSTS file and its kept copy: $outside"
}

# A setuid copy refuses to serve; a user outside the group may not run the helper at all.
row_refused() {
    cp "$helper" "$tmp/program/setuid-helper"
    chown 0:"$group" "$tmp/program/setuid-helper"
    chmod 4750 "$tmp/program/setuid-helper"
    out=$(client "$tmp/program/setuid-helper" hello)
    grep -q 'hello: failed .*setuid' <<<"$out" || fail "a setuid copy served: $out"
    rm "$tmp/program/setuid-helper"
    out=$(setpriv --reuid=nobody --regid=nogroup --clear-groups "$helper" 2>&1 </dev/null) &&
        fail "a user outside the group ran the helper"
    grep -q 'Permission denied' <<<"$out" || fail "the helper refused for another reason: $out"
}

# TESSEL_ROWS picks rows, as when one is shown to fail on an earlier build.
for row in ${TESSEL_ROWS:-second_start copy_and_rename loose_list cut_in_place keep_twice inherited pause_resume kill_nine traced refused}; do
    original
    "row_$row"
    echo "row $row: passed"
done
echo "PASS: the helper's boundary"
