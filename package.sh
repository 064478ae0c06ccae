#!/usr/bin/env bash
# Builds the Debian package of a release build and prints its path:
# build/package/veltrane_<version>_<arch>.deb, or in the folder given.
# Usage: ./package.sh [BUILD_FOLDER [CMAKE_OPTION ...]]
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh package
build=${1:-build/package}
shift $(($# > 0 ? 1 : 0))
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANE_BUILD_TESTS=OFF "$@" >/dev/null
# An up-to-date build would print only Ninja's "no work to do."; the package's path is the output.
cmake --build "$build" -j "$(nproc)" | { grep --line-buffered -vx 'ninja: no work to do\.' || true; }
rm -f "$build"/veltrane_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/veltrane_*.deb
