# Shared by the end-to-end tests: each runs the real program as root inside its own network and
# mount namespaces, so it may own port 80 and a HOSTS file of its own without touching the machine's.

fail() {
    echo "FAIL: $*"
    exit 1
}

# Skips the test unless it runs as root where namespaces can be made and every named tool exists.
need() {
    [ "$(id -u)" -eq 0 ] && unshare --net --mount true 2>/dev/null || { echo "SKIP: needs root"; exit 77; }
    for tool; do command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }; done
}

# prefs.dat for keep mode $1 ("True", "False" or "NotSet") and picture $2 (under data/ unless absolute).
write_prefs() {
    local picture=$2
    [[ $picture == /* ]] || picture=$tmp/program/data/$picture
    printf '%s\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: %s\r\n' "$picture" "$1" >"$tmp/program/data/prefs.dat"
}

# frame KEEP PICTURE HOSTS-TEXT "$@": outside, a copy of the program ($1 of the script) with those
# prefs, two listed servers and a HOSTS file of its own (and hosts.orig, its copy); then the script
# again in fresh namespaces. Inside: loopback up, the file bound over /etc/hosts, `tmp` and `art`
# (where screenshots go) set, and every process in `pids` killed at the end.
frame() {
    if [ "${5:-}" != inside ]; then
        tmp=$(mktemp -d)
        trap 'rm -rf "$tmp"' EXIT
        cp -r "$4" "$tmp/program"
        write_prefs "$1" "$2"
        printf 'ad.e2e.example\r\n\r\ntrack.e2e.example\r\n' >"$tmp/program/data/badHosts.dat"
        printf "$3" >"$tmp/hosts"
        cp "$tmp/hosts" "$tmp/hosts.orig"
        timeout 110 unshare --net --mount "$0" "$4" inside "$tmp"
        exit
    fi
    tmp=$6 art=${TESSEL_ARTIFACTS:-$6/artifacts} pids=()
    mkdir -p "$art"
    trap 'kill -9 "${pids[@]}" 2>/dev/null || true' EXIT
    ip link set lo up
    mount --bind "$tmp/hosts" /etc/hosts
}

# A private copy of /etc in which grant.sh gives the test's copy of the helper its rights and makes
# the group tessel (so the group exists only here); `group` is its number. Unprivileged users may
# reach the program.
grant_in_private_etc() {
    mkdir "$tmp/etc"
    cp -a /etc/. "$tmp/etc/"
    mount --bind "$tmp/etc" /etc
    chmod 755 "$tmp"
    "$(dirname "$0")/../../scripts/grant.sh" "$tmp/program" >/dev/null
    group=$(getent group tessel | cut -d: -f3)
}

# Runs a command as nobody (or as `who`, a name or a number), a member of the group tessel where
# grant_in_private_etc made it and of no group elsewhere, at home in $tmp/home (another user's:
# $tmp/home-WHO). launch_user LOG [COMMAND...] starts it so, as launch does, under `tracer` when
# set; with no command it starts the program and waits until port 80 takes connections
# (connecting without a word is no request: nothing is counted) and the HOSTS file is written.
as_user() {
    local who=${who:-nobody} home=$tmp/home groups=--clear-groups
    [ "$who" = nobody ] || home=$tmp/home-$who
    [ -z "${group:-}" ] || groups=--groups=$group
    mkdir -p "$home" && chown "$who" "$home"
    ${via:-} setpriv --reuid="$who" --regid="$(id -g "$who" 2>/dev/null || echo "$who")" "$groups" \
        env HOME="$home" "$@"
}
launch_user() {
    local log=$tmp/$1.log
    shift
    local before
    before=$(cksum </etc/hosts)
    # The command itself is the background process, so that signals reach it.
    via="exec ${tracer:-}" as_user "${@:-$tmp/program/tessel}" >"$log" 2>&1 &
    pid=$! pids+=($!)
    [ $# -eq 0 ] || return 0
    # The program listens first and then writes the HOSTS file: it is filtering once both are done.
    eventually /usr/bin/python3 -c 'import socket; socket.create_connection(("127.0.0.1", 80), 1)' ||
        fail "nothing listens on port 80: $(cat "$log")"
    eventually eval '[ "$(cksum </etc/hosts)" != "$before" ]' || fail "the HOSTS file was not written: $(cat "$log")"
}

# Starts the program in the background, its output in $tmp/$1.log; sets `pid`.
launch() {
    "$tmp/program/tessel" >"$tmp/$1.log" 2>&1 &
    pid=$! pids+=($!)
}

# Runs the command until it succeeds, for up to ten seconds.
eventually() { for _ in $(seq 100); do "$@" 2>/dev/null && return; sleep 0.1; done; return 1; }
wait_for_port() {
    eventually curl -s -o /dev/null --max-time 1 http://127.0.0.1/ ||
        fail "nothing answers on port 80; the program wrote: $(tail -n 20 "$tmp"/*.log 2>/dev/null)"
}
# Waits for process $pid to end; fails with the message otherwise.
gone() { eventually eval '! kill -0 "$pid"' || fail "$1"; }

# SIGTERM must end the program promptly with status 0.
terminate() {
    kill -TERM "$pid"
    gone "$1: still running 10 s after SIGTERM"
    wait "$pid" || fail "$1: exit status $? after SIGTERM"
}

given_back() { cmp /etc/hosts "$tmp/hosts.orig" || fail "$1: HOSTS file not given back: $(cat -A /etc/hosts)"; }

resolve() {
    for name; do getent hosts "$name" | grep -q '^127\.0\.0\.1 ' || fail "$name does not resolve to 127.0.0.1"; done
}

# The reply from URL $1 must be the GIF picture $2 under data/, whole.
replies() {
    curl -s -i --max-time 5 -o "$tmp/reply" "$1" || true
    printf 'HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: %d\r\nPragma: max-age=0\r\nCache-Control: no-cache\r\n\r\n' \
        "$(stat -c %s "$tmp/program/data/$2")" | cat - "$tmp/program/data/$2" | cmp - "$tmp/reply" ||
        fail "reply from $1 differs: $(cat -A "$tmp/reply")"
}

# A private virtual display (exports DISPLAY, sets `xvfb`); with "tray", a tray host in its
# top-left corner, so the first icon is at a known place.
start_display() {
    # The server picks a free number itself and writes it once it listens, so tests running at
    # the same time never share a display and none starts before its display is there.
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
    xvfb=$! pids+=($!)
    for _ in $(seq 300); do grep -q '^[0-9]\+$' "$tmp/display" && break; sleep 0.1; done
    grep -q '^[0-9]\+$' "$tmp/display" || fail "no virtual display after 30 s"
    export DISPLAY=:$(cat "$tmp/display")
    [ "${1:-}" != tray ] && return
    trayer --edge top --align left --widthtype pixel --width 120 --height 24 --SetDockType false \
        --transparent false --tint 0x404040 >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
}

# Waits for a visible window with exactly this title; prints its id.
window_named() { timeout "${2:-10}" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
press() { xdotool windowfocus --sync "$1" key "${@:2}" 2>/dev/null || xdotool key --window "$1" "${@:2}"; }
open_menu() { xdotool mousemove 12 12 click 3; sleep 0.7; }
shot() { sleep 0.7; import -window "${2:-root}" "$art/$1.png" 2>/dev/null || true; }
