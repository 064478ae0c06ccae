#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Usage: scripts/deps.sh build|package|test
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev libqt6svg6)
test_pkgs=(libgtest-dev libgmock-dev clang libclang-rt-14-dev curl tftp-hpa atftp
           xvfb xauth procps nftables iproute2 util-linux)
# Building the Debian package, and checking and installing it (the test step does both).
package_pkgs=(dpkg-dev file gzip)
package_test_pkgs=(desktop-file-utils appstream man-db libcap2-bin qt6-qpa-plugins)

want=("${build_pkgs[@]}")
if [ "${1:-build}" = test ]; then
  want+=("${test_pkgs[@]}")
fi
case "${1:-build}" in
  package) want+=("${package_pkgs[@]}") ;;
  test) want+=("${package_pkgs[@]}" "${package_test_pkgs[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
