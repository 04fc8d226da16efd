#!/usr/bin/env bash
# Both modes end to end. While Tessel runs, the listed servers resolve to 127.0.0.1 and get the
# chosen picture and the user's own names still resolve (a second start is the helper-boundary
# test's, by two users). SIGTERM gives the user's file back byte for byte, with owner and mode;
# so does a start after one killed outright (no exit sequence ran), and one whose display goes away.
# Rows: keep and replace mode on a file bound over /etc/hosts (written in place), and replace mode
# in a private copy of /etc, where the file is replaced whole.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
need Xvfb xdotool
frame True gray.gif '' "$@"

filtering() {
    resolve ad.e2e.example track.e2e.example
    getent hosts "$(hostname)" | grep -q '^127\.0\.1\.1 ' || fail "$1: the machine's own name does not resolve"
    getent ahosts ip6-localhost | grep -q '^::1 ' || fail "$1: ip6-localhost does not resolve"
    grep -q '^127\.0\.0\.1   ad\.e2e\.example'$'\r''$' /etc/hosts || fail "$1: entry line missing"
    [ "$1" = keep ] || head -c 64 /etc/hosts | grep -q 'Hosts file created by Tessel' || fail "$1: not replaced"
    replies http://ad.e2e.example/banner.gif gray.gif
}

for row in keep replace private-etc; do
    write_prefs "$([ $row = keep ] && echo True || echo False)" gray.gif
    if [ $row = private-etc ]; then
        mkdir "$tmp/etc"
        cp -a /etc/. "$tmp/etc/" 2>/dev/null || true
        mount --bind "$tmp/etc" /etc
        rm /etc/hosts
    fi
    # The user's file: LF line ends, the machine's own names, an empty line, no final line break.
    printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1 localhost ip6-localhost\n\n10.1.2.3 printer' \
        "$(hostname)" >/etc/hosts
    chown 0:4 /etc/hosts
    chmod 0604 /etc/hosts
    cp /etc/hosts "$tmp/hosts.orig"
    start_display
    for end in term kill term display; do
        QT_QPA_PLATFORM=$([ $end = display ] && echo xcb || echo offscreen) launch "$row-$end"
        wait_for_port
        filtering $row
        case $end in
            term) terminate "$row" ;;
            kill)
                kill -KILL "$pid"
                wait "$pid" 2>/dev/null || true
                cmp -s /etc/hosts "$tmp/hosts.orig" && fail "$row: given back although killed"
                continue
                ;;
            display)
                kill -KILL "$xvfb"
                gone "$row: still running after its display went away"
                ;;
        esac
        given_back "$row after $end"
        [ "$(stat -c '%u %g %a' /etc/hosts)" = "0 4 604" ] || fail "$row: owner or mode not given back"
    done
done
echo "PASS: keep and replace mode"
