#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Usage: scripts/deps.sh build|test
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl1-mesa-dev)
test_pkgs=(libgtest-dev libgmock-dev clang libclang-rt-14-dev curl tftp-hpa atftp
           xvfb xauth procps)

want=("${build_pkgs[@]}")
if [ "${1:-build}" = test ]; then
  want+=("${test_pkgs[@]}")
fi

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
