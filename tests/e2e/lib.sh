# Shared by the end-to-end tests: each runs the real program as root inside its own network and
# mount namespaces, so it may own port 80 and a HOSTS file of its own without touching the machine's.

need_root() {
    if [ "$(id -u)" -ne 0 ] || ! unshare --net --mount true 2>/dev/null; then
        echo "SKIP: needs root and namespaces"
        exit 77
    fi
}

# A copy of the program directory in a fresh temporary directory, with the given prefs.dat lines.
make_program() {
    local source=$1 tmp=$2 keep=$3 picture=$4
    cp -r "$source" "$tmp/program"
    rm -f "$tmp/program/data/prefs.dat"
    printf '%s\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: %s\r\n' "$picture" "$keep" \
        >"$tmp/program/data/prefs.dat"
    printf 'ad.e2e.example\r\n\r\ntrack.e2e.example\r\n' >"$tmp/program/data/badHosts.dat"
}

# Waits until something answers on 127.0.0.1:80.
wait_for_port() {
    for _ in $(seq 100); do
        if curl -s -o /dev/null --max-time 1 http://127.0.0.1/ 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "FAIL: nothing answers on port 80"
    return 1
}

# The reply for a shipped GIF picture: the picture itself.
expected_reply() {
    printf 'HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: %d\r\nPragma: max-age=0\r\nCache-Control: no-cache\r\n\r\n' "$(stat -c %s "$1")"
    cat "$1"
}

fail() {
    echo "FAIL: $*"
    exit 1
}

# Inside the namespaces: loopback up, the test's own HOSTS file over /etc/hosts, and `art` set to
# where screenshots go.
enter_with_own_hosts() {
    tmp=$1
    art=${TESSEL_ARTIFACTS:-$tmp/artifacts}
    mkdir -p "$art"
    ip link set lo up
    mount --bind "$tmp/hosts" /etc/hosts
}

# A private virtual display: exports DISPLAY and sets `xvfb` to the server's pid.
start_display() {
    export DISPLAY=:$((500 + RANDOM % 400))
    Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}

# A tray host in the top-left corner of the display, so the first icon is at a known place: sets
# `tray` to its pid.
start_tray() {
    trayer --edge top --align left --widthtype pixel --width 120 --height 24 --SetDockType false \
        --transparent false --tint 0x404040 >/dev/null 2>&1 &
    tray=$!
}
