#!/usr/bin/env bash
# Sets up, builds and starts Tessel on this desktop. Without a display it starts a virtual one
# (Xvfb) with a tray host, so the program can still be seen running.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release "$root/build"

if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:73
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    echo "No display: Tessel runs on the virtual display $DISPLAY (Xvfb) with a tray host."
fi

# Port 80 and the HOSTS file belong to root.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo --preserve-env=DISPLAY,XAUTHORITY"
exec $sudo "$root/build/program/tessel"
