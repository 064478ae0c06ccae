#!/usr/bin/env bash
# Downloads and uploads through a loopback that drops 5 % and duplicates 2 % of the
# datagrams, inside a private network namespace. Datagrams are dropped on their way in,
# as a lossy link loses them; a drop on the way out would fail the sender's send instead. Every transfer must either arrive
# identical or fail visibly; a failed upload leaves no file behind.
#   lossy-network.sh VELTRANE_BINARY
# Exit status 77 means the machine cannot build such a network (the test is skipped).
set -u
binary=$1
source "$(dirname "$0")/../support/private-network.sh"

if [ "${2:-}" != --inside ]; then
  require_tools unshare nft ip curl atftp sha256sum
  enter_private_network -rn "$0" "$binary"
fi

ip link set lo up
make_workspace

mkdir -p "$work/served" "$work/in" "$work/got" "$work/cfg" "$work/up"
head -c 1048576 /dev/urandom >"$work/served/one.bin"
want=$(sha256sum <"$work/served/one.bin" | cut -d' ' -f1)
# An empty hash would let every empty one compare equal.
[ -n "$want" ] || { echo "cannot hash the served file"; exit 1; }
for i in $(seq 20); do head -c 1048576 /dev/urandom >"$work/up/up-$i.bin"; done
cat >"$work/cfg/veltrane.INI" <<INI
[TFTP Settings]
MaxDLConn=50
MaxULConn=50
[FileAccepting]
Accept=1
DestDir=$work/in
INI
port=6969
"$binary" --headless --config-dir "$work/cfg" --port $port "$work/served/one.bin" >"$work/activity.txt" 2>&1 &
server=$!
for _ in $(seq 50); do
  curl -s --max-time 2 -o /dev/null "tftp://127.0.0.1:$port/one.bin" && break
  sleep 0.1
done
# The link turns lossy once the server is up.
if ! nft -f - <<'RULES'
table ip lossy {
  chain in {
    type filter hook input priority 0;
    meta l4proto udp numgen random mod 100 < 5 drop
  }
  chain out {
    type filter hook output priority 0;
    meta l4proto udp numgen random mod 100 < 2 dup to 127.0.0.1
  }
}
RULES
then
  echo "SKIP: nftables rules cannot be loaded here"; exit 77
fi


download() {  # download N
  if [ $(( $1 % 2 )) = 0 ]; then
    curl -s --max-time 60 --tftp-blksize 65464 -o "$work/got/$1.bin" "tftp://127.0.0.1:$port/one.bin"
  else
    timeout 60 atftp --get -r one.bin -l "$work/got/$1.bin" --option "blksize 65464" --tftp-timeout 1 \
      127.0.0.1 $port >/dev/null 2>&1
  fi
  echo $? >"$work/got/$1.rc"
}
upload() {  # upload N
  if [ $(( $1 % 2 )) = 0 ]; then
    curl -s --max-time 60 --tftp-blksize 65464 -T "$work/up/up-$1.bin" "tftp://127.0.0.1:$port/up-$1.bin"
  else
    timeout 60 atftp --put -r "up-$1.bin" -l "$work/up/up-$1.bin" --option "blksize 65464" --tftp-timeout 1 \
      127.0.0.1 $port >/dev/null 2>&1
  fi
  echo $? >"$work/up/up-$1.rc"
}
for i in $(seq 20); do download "$i" & upload "$i" & done
wait $(jobs -p | grep -v "^$server$") 2>/dev/null
# Uploads complete one reply wait after their last block; give the server that long.
for _ in $(seq 100); do grep -q "Receiving file" "$work/activity.txt" && \
  [ "$(grep -c 'Transfer: Receiving file...' "$work/activity.txt")" -le \
    "$(grep -c -E 'Receive file complete|Error transfering' "$work/activity.txt")" ] && break; sleep 0.1; done
kill "$server"; wait "$server"; server=

bad=0; fine=0; missing=0
for i in $(seq 20); do
  if [ "$(cat "$work/got/$i.rc")" = 0 ]; then
    got=$(sha256sum <"$work/got/$i.bin" | cut -d' ' -f1)
    if [ "$got" = "$want" ]; then fine=$((fine + 1)); else echo "download $i: reported success, different file"; bad=1; fi
  fi
  if [ -e "$work/in/up-$i.bin" ]; then
    if cmp -s "$work/in/up-$i.bin" "$work/up/up-$i.bin"; then fine=$((fine + 1)); else echo "upload $i: different file"; bad=1; fi
  else
    missing=$((missing + 1))
  fi
done
leftovers=$(find "$work/in" -name '.*' -type f | wc -l)
[ "$leftovers" = 0 ] || { echo "$leftovers temporary upload files left behind"; bad=1; }
failed=$(grep -c "Error transfering!" "$work/activity.txt")
echo "$fine of 40 transfers arrived intact; $failed failed visibly on the server"
# Every upload that left no file must have been reported as failed.
[ "$failed" -ge "$missing" ] || { echo "$missing uploads missing but only $failed failures shown"; bad=1; }
[ "$fine" -ge 20 ] || { echo "too few transfers got through"; bad=1; }
exit $bad
