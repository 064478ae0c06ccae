#!/usr/bin/env bash
# Installs what is missing, builds a release build, and starts veltrane with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
exec build/release/program/veltrane "$@"
