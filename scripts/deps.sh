#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Usage: scripts/deps.sh build|package|test|bench
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev libqt6svg6
            nettle-dev zlib1g-dev libsystemd-dev)
test_pkgs=(libgtest-dev libgmock-dev clang curl tftp-hpa atftp
           xvfb xauth procps nftables iproute2 util-linux systemd
           qemu-system-x86 ipxe-qemu pxelinux syslinux-common dnsmasq-base)
# ./bench.sh: peers to measure beside, and private networks with a lossy link.
bench_pkgs=(atftp atftpd nftables iproute2 util-linux procps ethtool)
# Building the Debian package, and checking and installing it (the test step does both).
package_pkgs=(dpkg-dev file gzip)
package_test_pkgs=(desktop-file-utils appstream man-db libcap2-bin qt6-qpa-plugins)

want=("${build_pkgs[@]}")
if [ "${1:-build}" = test ]; then
  want+=("${test_pkgs[@]}")
fi
case "${1:-build}" in
  bench) want+=("${bench_pkgs[@]}") ;;
  package) want+=("${package_pkgs[@]}") ;;
  test) want+=("${package_pkgs[@]}" "${package_test_pkgs[@]}") ;;
esac

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
updated=

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

update_lists() {
  [ -n "$updated" ] && return
  "${sudo_cmd[@]}" apt-get update -q
  updated=1
}

install_missing() {
  local missing=() p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  update_lists
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# The fuzzers link clang's sanitizer runtime. Debian ships it as libclang-rt-<major>-dev
# beside clang <major>; where no such package exists, clang carries the runtime itself.
install_clang_runtime() {
  local major runtime
  major=$(clang -dumpversion | cut -d. -f1)
  runtime=libclang-rt-$major-dev
  installed "$runtime" && return
  if ! apt-cache show "$runtime" >/dev/null 2>&1; then
    update_lists
    apt-cache show "$runtime" >/dev/null 2>&1 || return 0
  fi
  install_missing "$runtime"
}

install_missing "${want[@]}"
if [ "${1:-build}" = test ]; then
  install_clang_runtime
fi
