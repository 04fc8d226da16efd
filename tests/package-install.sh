#!/usr/bin/env bash
# The Debian package from scripts/package.sh, passed by lintian and the validators, installed by dpkg
# in private namespaces over throwaway overlays of /usr, /etc and /var, and run by a member of the
# group tessel: port 80 answers, /etc/hosts is written and given back. Purging leaves nothing of it.
set -euo pipefail
. "$(dirname "$0")/e2e/lib.sh"
if [ "${2:-}" != inside ]; then
    need setpriv getcap dpkg lintian desktop-file-validate appstreamcli curl ip
    "$(dirname "$0")/../scripts/package.sh" "$1" >/dev/null || fail "scripts/package.sh failed"
    deb=$(echo "$1"/tessel_*.deb)
    lintian --fail-on error "$deb" 2>/dev/null || fail "lintian found errors"
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    dpkg-deb -x "$deb" "$tmp/unpacked"
    desktop-file-validate "$tmp"/unpacked/usr/share/applications/tessel.desktop || fail "desktop entry"
    appstreamcli validate --no-net "$tmp"/unpacked/usr/share/metainfo/*.xml >/dev/null || fail "AppStream"
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $NF); print $NF }' >"$tmp/files"
    timeout 240 unshare --net --mount bash "$0" "$deb" inside "$tmp"
    exit
fi
deb=$1 tmp=$3 pids=()
trap 'kill -9 "${pids[@]}" 2>/dev/null || true' EXIT
ip link set lo up
mkdir "$tmp/layers" && mount -t tmpfs tmpfs "$tmp/layers"
for dir in usr etc var; do
    mkdir "$tmp/layers/$dir" "$tmp/layers/$dir.work"
    mount -t overlay overlay -o "lowerdir=/$dir,upperdir=$tmp/layers/$dir,workdir=$tmp/layers/$dir.work" "/$dir"
    [ "$(stat -f -c %T "/$dir")" = overlayfs ] || fail "/$dir is not a throwaway overlay"
done
printf '127.0.0.1\tlocalhost\n10.1.2.3 printer\n' >/etc/hosts
cp /etc/hosts "$tmp/hosts.orig"
said=$(dpkg -i "$deb" 2>&1) || fail "dpkg -i: $said"
grep -q 'usermod -aG tessel USER' <<<"$said" || fail "the installation does not say how to join tessel"
helper=/usr/libexec/tessel/tessel-helper
[ "$(stat -c '%a %U %G' $helper)" = "750 root tessel" ] || fail "helper: $(stat -c '%a %U %G' $helper)"
getcap $helper | grep -q ' cap_chown,cap_dac_override,cap_fowner,cap_net_bind_service=ep$' ||
    fail "helper capabilities: $(getcap $helper)"
# A member's first start, its settings already chosen: replace mode and a shipped picture.
config=$tmp/config
mkdir -p "$config/tessel"
printf '/usr/share/tessel/gray.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: False\r\n' >"$config/tessel/prefs.dat"
chown -R nobody "$config" && chmod 755 "$tmp"
XDG_CONFIG_HOME=$config HOME=$config QT_QPA_PLATFORM=offscreen setpriv --reuid=nobody --regid=nogroup \
    --groups="$(getent group tessel | cut -d: -f3)" /usr/bin/tessel >"$tmp/tessel.log" 2>&1 &
pid=$! pids+=($!)
wait_for_port
curl -s --max-time 5 http://127.0.0.1/ad.gif | cmp -s - /usr/share/tessel/gray.gif || fail "port 80 sent another picture"
grep -q 'Hosts file created by Tessel' /etc/hosts || fail "/etc/hosts was not written"
cmp -s /usr/share/tessel/badHosts.dat "$config/tessel/badHosts.dat" || fail "the server list was not copied"
terminate "installed tessel"
given_back "installed tessel"
dpkg -r tessel >/dev/null
getent group tessel >/dev/null || fail "removal, not purge, took the group away"
dpkg -P tessel >/dev/null
! getent group tessel >/dev/null || fail "the group tessel outlived the purge"
while read -r file; do [ ! -e "$file" ] || fail "$file outlived the purge"; done <"$tmp/files"
[ ! -e /etc/.tessel-helper.lock ] || fail "the helper's lock file outlived the purge"
caps=$(getcap -r /usr/bin /usr/libexec 2>/dev/null || true)
[[ $caps != *tessel* ]] || fail "capabilities outlived the purge: $caps"
echo "PASS: the package"
