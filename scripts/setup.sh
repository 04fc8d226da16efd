#!/usr/bin/env bash
# Installs from Debian 12's packages what Tessel needs: setup.sh [run|test]. `run` (the default) is
# what building and running the program needs; `test` adds the test tool chain.
set -euo pipefail
purpose=${1:-run}

# The compiler, Qt, and the virtual display, tray host and screenshot tool run.sh may use.
run_packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    xvfb trayer x11-utils imagemagick
    # Runs natively on Wayland desktops too.
    qt6-wayland
    # setcap, with which grant.sh gives tessel-helper its rights.
    libcap2-bin
)
# GoogleTest, the sanitizer and fuzzing tool chain, the formatter, and what the end-to-end and
# desktop tests drive the program with.
test_packages=(
    libgtest-dev
    clang libclang-rt-14-dev llvm
    clang-format
    xdotool
    # The Statistics window's desktop test reads the table through the clipboard.
    xclip
    # The Wayland desktop test: a headless compositor whose bar hosts StatusNotifierItems, its
    # screenshots, and a private session bus to talk to the icon over.
    sway grim dbus libglib2.0-bin
    iproute2 util-linux curl procps passwd
    # The fault tests trace the file writer's syncs, kill it at chosen calls, and lock a file.
    strace e2fsprogs
    python3 chromium firefox-esr
    # The export test: the DNS servers it loads the exported files into, dig, and the zone checker.
    dnsmasq-base unbound bind9-dnsutils bind9-utils
    # The Debian package: what CPack runs to make it (dpkg-shlibdeps, dpkg-buildflags, file), and
    # the checkers it must pass.
    dpkg-dev file lintian appstream desktop-file-utils
)

case "$purpose" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: setup.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    # Unbound's package would start a resolver on the machine's own port 53; the tests start
    # their own servers in namespaces of their own. A policy of the machine's own is left as it is.
    policy=/usr/sbin/policy-rc.d
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
        $sudo chmod 755 "$policy"
        trap '$sudo rm -f "$policy"' EXIT
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
