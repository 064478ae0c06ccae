#!/usr/bin/env bash
# Boots a real BIOS machine from the headless server: QEMU's iPXE ROM takes an address
# and the boot file name from dnsmasq (DHCP only), loads pxelinux.0 and ldlinux.c32 from
# `veltrane --headless --root`, walks the pxelinux.cfg names it does not find down to
# "default", and runs poweroff.c32 from it. All of it on a tap device inside a private
# network namespace; no kernel is booted and no KVM is needed.
#   pxe-boot.sh VELTRANE_BINARY
# Exit status 77 means the machine lacks the tools or the namespace (the test is skipped).
set -u
binary=$1

pxelinux=/usr/lib/PXELINUX/pxelinux.0
modules=/usr/lib/syslinux/modules/bios
if [ "${2:-}" != --inside ]; then
  for tool in unshare ip dnsmasq qemu-system-x86_64; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh test)"; exit 77; }
  done
  for file in "$pxelinux" "$modules/ldlinux.c32" "$modules/poweroff.c32" /usr/lib/ipxe/qemu/pxe-e1000.rom; do
    [ -r "$file" ] || { echo "SKIP: $file is missing (scripts/deps.sh test)"; exit 77; }
  done
  # Root makes a plain network namespace; anyone else one of a user namespace of its own.
  namespace=(unshare -n)
  [ "$(id -u)" -eq 0 ] || namespace=(unshare -rn)
  "${namespace[@]}" ip tuntap add dev probe0 mode tap 2>/dev/null ||
    { echo "SKIP: no network namespace with a tap device here"; exit 77; }
  exec "${namespace[@]}" bash "$0" "$binary" --inside
fi

work=$(mktemp -d)
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL: $*"
  for log in server.out server.err dnsmasq.log serial.log qemu.log; do
    echo "--- $log:"
    tail -n 40 "$work/$log" 2>/dev/null
  done
  exit 1
}

# Waits up to `seconds` for COMMAND to succeed.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

mac=52:54:00:12:34:56
server=192.168.50.1
ip link set lo up
ip tuntap add dev tap0 mode tap
ip addr add "$server/24" dev tap0
ip link set tap0 up

tree=$work/tree
mkdir -p "$tree/pxelinux.cfg" "$work/cfg"
cp "$pxelinux" "$modules/ldlinux.c32" "$modules/poweroff.c32" "$modules/libcom32.c32" \
  "$modules/libutil.c32" "$tree/"
printf 'DEFAULT off\nPROMPT 0\nLABEL off\n  COM32 poweroff.c32\n' >"$tree/pxelinux.cfg/default"

"$binary" --headless --config-dir "$work/cfg" --bind "$server" --root "$tree" --max-downloads 8 \
  >"$work/server.out" 2>"$work/server.err" &
pids+=($!)
wait_for 30 grep -q "listening on $server:69" "$work/server.err" || fail "the server did not start"

dnsmasq --no-daemon --conf-file=/dev/null --port=0 --interface=tap0 --bind-interfaces \
  --dhcp-range=192.168.50.100,192.168.50.150,1h --dhcp-boot=pxelinux.0,,$server \
  --dhcp-leasefile="$work/leases" --pid-file="$work/dnsmasq.pid" --user=root --log-dhcp \
  >"$work/dnsmasq.log" 2>&1 &
pids+=($!)

qemu-system-x86_64 -machine pc -accel tcg -m 128 -display none -no-reboot -boot n \
  -serial "file:$work/serial.log" -monitor none \
  -netdev tap,id=lab,ifname=tap0,script=no,downscript=no \
  -device "e1000,netdev=lab,mac=$mac,romfile=/usr/lib/ipxe/qemu/pxe-e1000.rom" \
  >"$work/qemu.log" 2>&1 &
pids+=($!)

served() { grep -q "$tree/$1    [0-9.]*    Transfer: Send file complete\." "$work/server.out"; }
wait_for 100 served poweroff.c32 || fail "poweroff.c32 was never served"

for file in pxelinux.0 ldlinux.c32 pxelinux.cfg/default poweroff.c32; do
  served "$file" || fail "$file was not served whole"
done
# pxelinux asks for its MAC address, then its IP address in ever shorter hex, first.
for missing in "pxelinux.cfg/01-${mac//:/-}" pxelinux.cfg/C0A832 pxelinux.cfg/C; do
  grep -q "$missing    [0-9.]*    Send error: File does not exist!" "$work/server.out" ||
    fail "$missing was not answered as missing"
done
echo "Booted pxelinux.0 to poweroff.c32 from the headless server"
