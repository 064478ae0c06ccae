#!/usr/bin/env bash
# Checks the Debian package named in VELTRANE_PACKAGE: its contents and their validity,
# then installs it, serves a download on a privileged port as the unprivileged user
# "nobody", and removes it again. The machine is restored whatever fails.
# Exit status 77 (skipped) without root or without a package.
set -uo pipefail

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root; ./test.sh run as root does it"
package=${VELTRANE_PACKAGE:-}
[ -n "$package" ] || skip "VELTRANE_PACKAGE names no package; ./test.sh packages its tested build"
[ -f "$package" ] || fail "no package at $package"
package=$(realpath "$package")
if dpkg-query -W -f='${Status}' veltrane 2>/dev/null | grep -q ' installed$'; then
  skip "veltrane is installed on this machine already; this test would replace and remove it"
fi
for tool in dpkg-deb desktop-file-validate appstreamcli man getcap setcap setpriv curl file cmp readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh test installs it)"
done

work=$(mktemp -d)
chmod 755 "$work"
server_pid=""
installed=0

cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -KILL "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  if [ "$installed" -eq 1 ]; then
    dpkg --purge veltrane >/dev/null 2>&1 || echo "WARNING: could not remove the package" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# A timeout or an interrupt restores the machine too.
trap 'exit 1' INT TERM HUP

nobody_uid=$(id -u nobody) || fail "no user nobody"
nobody_gid=$(id -g nobody)
as_nobody() { setpriv --reuid="$nobody_uid" --regid="$nobody_gid" --clear-groups -- "$@"; }

# --- Contents

step "Package contents"
listing=$(dpkg-deb -c "$package" | awk '{print $6}') || fail "dpkg-deb cannot list $package"
icon_sizes=(16 22 24 32 48 64 128 256)
expected=(./usr/bin/veltrane
          ./usr/share/applications/veltrane.desktop
          ./usr/share/metainfo/org.example.veltrane.metainfo.xml
          ./usr/share/man/man1/veltrane.1.gz
          ./usr/share/doc/veltrane/manual.html
          ./usr/lib/systemd/system/veltrane-headless.service
          ./usr/lib/systemd/system/veltrane-headless.socket
          ./etc/veltrane/veltrane.INI
          ./srv/tftp/
          ./usr/share/icons/hicolor/scalable/apps/veltrane.svg)
for size in "${icon_sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/veltrane.png")
done
for entry in "${expected[@]}"; do
  grep -qxF "$entry" <<<"$listing" || fail "the package lacks $entry"
done

root=$work/root
dpkg-deb -x "$package" "$root" || fail "dpkg-deb cannot unpack $package"
[ -x "$root/usr/bin/veltrane" ] || fail "/usr/bin/veltrane is not executable"

step "Service settings"
[ "$(dpkg-deb -I "$package" conffiles)" = /etc/veltrane/veltrane.INI ] ||
  fail "veltrane.INI is not the package's one conffile"
for line in TreeRoot=/srv/tftp Accept=0 MaxDLConn=64 MaxULConn=8; do
  grep -qxF "$line" "$root/etc/veltrane/veltrane.INI" || fail "the service's settings lack $line"
done

step "Desktop entry"
desktop=$root/usr/share/applications/veltrane.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate warns: $report"
grep -qx 'Name=Veltrane Desktop Pro' "$desktop" || fail "the desktop entry's title is not Veltrane Desktop Pro"
grep -qx 'Exec=veltrane' "$desktop" || fail "the desktop entry does not start veltrane"
grep -qx 'Icon=veltrane' "$desktop" || fail "the desktop entry does not name the icon"
grep -q '^Categories=\(.*;\)\?Network;' "$desktop" || fail "the desktop entry is not in Network"

step "Icons"
for size in "${icon_sizes[@]}"; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/veltrane.png
  file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png is not a $size pixel PNG"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/veltrane.svg" || fail "the scalable icon is no SVG"

step "AppStream metainfo"
report=$(appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.veltrane.metainfo.xml" 2>&1) ||
  fail "appstreamcli: $report"

step "Manual page"
manual=$root/usr/share/man/man1/veltrane.1.gz
page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>"$work/man-warnings") ||
  fail "man cannot render the manual page"
[ ! -s "$work/man-warnings" ] || fail "man warns: $(cat "$work/man-warnings")"
for topic in -cm --headless --config-dir --port --bind --root --accept --max-downloads --max-uploads \
             --help --version veltrane.INI veltrane.SEC SETTINGS MaxDLConn MaxULConn TreeRoot SIGHUP \
             "dhcp-boot=tag:bios,pxelinux.0" "Link leaves the" veltrane-headless.socket "EXIT STATUS"; do
  grep -qF -- "$topic" <<<"$page" || fail "the manual page does not document $topic"
done

step "Dependencies"
depends=$(dpkg-deb -f "$package" Depends)
grep -q 'libc6' <<<"$depends" || fail "Depends lists no shared libraries: $depends"
grep -q 'libsystemd0' <<<"$depends" || fail "Depends lacks libsystemd0 for readiness: $depends"
if readelf -d "$root/usr/bin/veltrane" | grep -q 'NEEDED.*libQt6'; then
  for qt in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$qt" <<<"$depends" || fail "the window build does not depend on $qt: $depends"
  done
else
  echo "(headless-only build: no Qt libraries linked)"
fi

# --- Installed

step "Install"
installed=1
dpkg -i "$package" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
[ -x /usr/bin/veltrane ] || fail "/usr/bin/veltrane is missing after installing"

step "Headless service"
unit=/usr/lib/systemd/system/veltrane-headless.service
for line in 'ExecStart=/usr/bin/veltrane --headless --config-dir /etc/veltrane' 'Type=notify' \
            'ExecReload=kill -HUP $MAINPID' 'DynamicUser=yes' 'AmbientCapabilities=CAP_NET_BIND_SERVICE'; do
  grep -qxF "$line" "$unit" || fail "the service lacks $line"
done
[ ! -e /etc/systemd/system/multi-user.target.wants/veltrane-headless.service ] ||
  fail "installing enabled the service"
if command -v systemd-analyze >/dev/null; then
  report=$(systemd-analyze verify --man=no "$unit" "${unit%.service}.socket" 2>&1) ||
    fail "systemd-analyze: $report"
fi
[ -d /srv/tftp ] || fail "installing did not create /srv/tftp"

step "Command line"
[ "$(as_nobody veltrane --version)" = 3.2 ] || fail "--version does not print 3.2"
help=$(as_nobody veltrane --help) || fail "--help does not exit 0"
for option in -cm --headless --config-dir --port --bind --root --accept --help --version; do
  [ "$(grep -cE -- "^  (-[a-zA-Z], )?$option( |$)" <<<"$help")" -eq 1 ] || fail "--help has no single line for $option"
done
as_nobody veltrane --no-such-option >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 2 ] || fail "an unknown option exits $status, not 2"
[ ! -s "$work/out" ] || fail "an unknown option prints to standard output"
grep -q '^Usage: veltrane' "$work/err" || fail "an unknown option does not print the usage to standard error"

# The TFTP port unless another server holds it; then another free one below 1024.
udp_ports_in_use() {
  local table sl address rest
  for table in /proc/net/udp /proc/net/udp6; do
    [ -r "$table" ] || continue
    while read -r sl address rest; do
      [ "$sl" = sl ] || echo $((16#${address##*:}))
    done <"$table"
  done
}
pick_port() {
  local in_use port
  in_use=$(udp_ports_in_use)
  for port in 69 $(seq 1023 -1 512); do
    grep -qx "$port" <<<"$in_use" || { echo "$port"; return 0; }
  done
  return 1
}
port=$(pick_port) || fail "no free UDP port below 1024"
[ "$port" -eq 69 ] || echo "(port 69 is taken here; using $port)"
privileged=1
if [ "$port" -ge "$(cat /proc/sys/net/ipv4/ip_unprivileged_port_start 2>/dev/null || echo 1024)" ]; then
  privileged=0
  echo "(this system lets every user bind port $port; the refusal is not checked)"
fi

config=$work/config
serve=$work/serve
mkdir -p "$config" "$serve"
chown "$nobody_uid:$nobody_gid" "$config"
head -c 300000 /dev/urandom >"$serve/boot.bin"
chmod -R a+rX "$serve"

# Starts the headless server BINARY as nobody in the background, with any further setpriv
# options; its output goes to $work/server.*. setpriv runs directly, not through a
# function, so $! is the server's own process.
start_server() {
  local binary=$1
  shift
  setpriv --reuid="$nobody_uid" --regid="$nobody_gid" --clear-groups "$@" -- "$binary" --headless --port "$port" --config-dir "$config" "$serve" \
    >"$work/server.out" 2>"$work/server.err" &
  server_pid=$!
}

# Waits up to ten seconds for the server started last to end; its exit status goes to
# server_exit. Fails when it is still running.
wait_for_server() {
  local waited=0
  while kill -0 "$server_pid" 2>/dev/null && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  kill -0 "$server_pid" 2>/dev/null && return 1
  wait "$server_pid"
  server_exit=$?
  server_pid=""
}

# check_download TITLE BINARY [SETPRIV_OPTION ...]
check_download() {
  step "Download as nobody from port $port: $1"
  shift
  start_server "$@"
  local tries=0
  until curl -s --max-time 3 -o "$work/got.bin" "tftp://127.0.0.1:$port/boot.bin"; do
    kill -0 "$server_pid" 2>/dev/null || fail "the server ended: $(cat "$work/server.err")"
    tries=$((tries + 1))
    [ "$tries" -lt 20 ] || fail "no download from port $port: $(cat "$work/server.err")"
    sleep 0.25
  done
  cmp -s "$serve/boot.bin" "$work/got.bin" || fail "the downloaded file differs from the served one"
  grep -q 'Transfer: Send file complete\.' "$work/server.out" ||
    fail "the activity does not show the completed transfer: $(cat "$work/server.out")"
  kill -TERM "$server_pid"
  wait_for_server || fail "the server did not stop on SIGTERM"
  [ "$server_exit" -eq 0 ] || fail "the server stopped with status $server_exit, not 0"
}

check_refusal_advice() {
  step "Port $port refused to $1 as nobody: the advice"
  start_server "$1"
  wait_for_server || fail "the server started on port $port without the privilege"
  [ "$server_exit" -eq 2 ] || fail "a refused port exits $server_exit, not 2"
  head -n 1 "$work/server.err" | grep -qx 'Socket Error # 10013' ||
    fail "the engine's text is not kept: $(cat "$work/server.err")"
  grep -q "sudo setcap cap_net_bind_service=+ep $1" "$work/server.err" ||
    fail "no advice on granting the privilege: $(cat "$work/server.err")"
}

if getcap /usr/bin/veltrane | grep -q cap_net_bind_service; then
  check_download "the installed program's own capability" /usr/bin/veltrane
elif setcap cap_net_bind_service=+ep /usr/bin/veltrane 2>/dev/null; then
  fail "installing did not grant the capability, though the file system holds one"
elif [ "$privileged" -eq 1 ]; then
  echo "(the file system kept no capability on /usr/bin/veltrane)"
  check_refusal_advice /usr/bin/veltrane
else
  check_download "no privilege needed here" /usr/bin/veltrane
fi
# A copy carries no capability of its own: refused as an uncapable install would be, and
# served when handed the ambient capability, as the system service's unit does.
cp /usr/bin/veltrane "$work/veltrane-uncapable"
if [ "$privileged" -eq 1 ]; then
  check_refusal_advice "$work/veltrane-uncapable"
fi
check_download "the service's ambient capability" "$work/veltrane-uncapable" \
  --inh-caps=+net_bind_service --ambient-caps=+net_bind_service

step "Remove"
dpkg --purge veltrane >"$work/dpkg.log" 2>&1 || fail "dpkg --purge: $(cat "$work/dpkg.log")"
installed=0
[ ! -e /usr/bin/veltrane ] || fail "/usr/bin/veltrane is left after removing the package"
echo "Package checks passed (port $port)"
