#!/usr/bin/env bash
# Downloads over a lossy link for ./bench.sh: the server in a private network namespace,
# the client (Debian's atftp) in a second one joined to it by a veth pair, and 0.2 % of
# the datagrams dropped on their way into the client by an nftables numgen rule. Each
# round fetches the file once from veltrane and once from Debian's atftpd, in turns.
# The server side's veth does no UDP segmentation of its own, so the rule sees every
# datagram as the wire would carry it, whoever sent it.
#   lossy-link.sh VELTRANE_BINARY FILE ROUNDS
# Prints one line per download: "server=NAME seconds=S sent=N needed=M ok=0|1".
# Exit status 77: no private network namespaces here.
set -u
binary=$1 file=$2 rounds=$3
source "$(dirname "$0")/../tests/support/private-network.sh"
if [ "${4:-}" != --inside ]; then
  enter_private_network -mn "$0" "$binary" "$file" "$rounds"
fi

mount --make-rprivate /
mkdir -p /run/netns
mount -t tmpfs netns /run/netns
ip link set lo up
ip netns add peer
ip link add vs type veth peer name vc netns peer
ip addr add 10.99.0.1/24 dev vs
ip link set vs up
ethtool -K vs tx-udp-segmentation off >/dev/null 2>&1 || true
ip -n peer addr add 10.99.0.2/24 dev vc
ip -n peer link set vc up
ip -n peer link set lo up
ip netns exec peer nft -f - <<'RULES'
table ip lossy {
  chain in {
    type filter hook input priority 0;
    meta l4proto udp numgen random mod 1000 < 2 drop
  }
}
RULES

make_workspace
chmod 755 "$work"
mkdir -p "$work/cfg" "$work/root"
chmod 777 "$work/root"
cp "$file" "$work/root/lossy.bin"
chmod 644 "$work/root/lossy.bin"
want=$(sha256sum <"$file" | cut -d' ' -f1)
size=$(stat -c %s "$file")
needed=$(( size / 1468 + 2 ))  # every DATA and the OACK
printf '[TFTP Settings]\nMaxWindowSize=16\nMaxDLConn=10\n' >"$work/cfg/veltrane.INI"
port=6969

start() {
  case $1 in
    veltrane) "$binary" --headless --config-dir "$work/cfg" --port $port "$work/root/lossy.bin" \
                >/dev/null 2>&1 & ;;
    atftpd) atftpd --daemon --no-fork --port $port --maxthread 250 --user root --group root \
              --logfile /dev/null "$work/root" & ;;
  esac
  server=$!
  for _ in $(seq 100); do
    ss -Hlun "sport = :$port" | grep -q . && return
    sleep 0.05
  done
}

# Datagrams (and the odd ARP) the server's side of the link has sent; /proc/net/dev is
# this namespace's own.
tx_packets() { awk -F'[: ]+' '$2 == "vs" { print $12 }' /proc/net/dev; }

for _ in $(seq "$rounds"); do
  for name in veltrane atftpd; do
    start $name
    rm -f "$work/got"
    before=$(tx_packets)
    began=$(date +%s.%N)
    ip netns exec peer timeout 600 atftp --get -r lossy.bin -l "$work/got" --option "blksize 1468" \
      --option "windowsize 16" 10.99.0.1 $port >/dev/null 2>&1
    ended=$(date +%s.%N)
    sent=$(( $(tx_packets) - before ))
    kill "$server"; wait "$server" 2>/dev/null; server=
    ok=0
    [ -f "$work/got" ] && [ "$(sha256sum <"$work/got" | cut -d' ' -f1)" = "$want" ] && ok=1
    awk -v n=$name -v a="$began" -v b="$ended" -v s="$sent" -v m="$needed" -v ok=$ok \
      'BEGIN { printf "server=%s seconds=%.3f sent=%d needed=%d ok=%d\n", n, b - a, s, m, ok }'
  done
done
