#!/usr/bin/env bash
# Builds the Debian package of an installed build (settings in ~/.config/veltrane) and
# prints its path: build/package/veltrane_<version>_<arch>.deb, or in the folder given.
# Usage: ./package.sh [BUILD_FOLDER [CMAKE_OPTION ...]]
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh package
build=${1:-build/package}
shift $(($# > 0 ? 1 : 0))
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANE_PORTABLE=OFF \
  -DVELTRANE_BUILD_TESTS=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/veltrane_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/veltrane_*.deb
