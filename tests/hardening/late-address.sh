#!/usr/bin/env bash
# A server told to listen on addresses that are not up yet (an interface that DHCP or a
# VPN brings up after boot) starts anyway, and serves on each address once it appears:
# IPv4 and IPv6, inside a private network namespace.
#   late-address.sh VELTRANE_BINARY
# Exit status 77 means the machine cannot build such a network (the test is skipped).
set -u
binary=$1
source "$(dirname "$0")/../support/private-network.sh"

if [ "${2:-}" != --inside ]; then
  require_tools unshare ip curl cmp
  enter_private_network -rn "$0" "$binary"
fi

ip link set lo up
make_workspace
fail() { echo "FAIL: $*"; echo "--- server:"; cat "$work/err" "$work/out"; exit 1; }

# Waits up to 30 seconds for COMMAND to succeed.
wait_for() {
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

mkdir -p "$work/cfg"
head -c 100000 /dev/urandom >"$work/a.bin"
port=6969
"$binary" --headless --config-dir "$work/cfg" --port $port --bind 192.0.2.10 --bind fd00:db8::10 \
  "$work/a.bin" >"$work/out" 2>"$work/err" &
server=$!
wait_for grep -q 'veltrane: listening on 192.0.2.10:6969, \[fd00:db8::10\]:6969' "$work/err" ||
  fail "the server did not start on addresses that are not up"

ip addr add 192.0.2.10/32 dev lo || fail "cannot add 192.0.2.10"
ip addr add fd00:db8::10/128 dev lo nodad || fail "cannot add fd00:db8::10"
for url in "tftp://192.0.2.10:$port/a.bin" "tftp://[fd00:db8::10]:$port/a.bin"; do
  rm -f "$work/got"
  wait_for curl -s --max-time 3 -o "$work/got" "$url" || fail "no download from $url"
  cmp -s "$work/a.bin" "$work/got" || fail "$url gave other bytes"
done
kill -TERM "$server"
wait "$server"
status=$?
server=
[ "$status" -eq 0 ] || fail "the server stopped with status $status"
echo "Served on addresses that came up after the start"
