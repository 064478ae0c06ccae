#!/usr/bin/env bash
# Installs what is missing, builds a release build, and starts veltrane with the given arguments.
# The program runs in the caller's folder, so relative paths name the caller's files.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
(
  cd "$root"
  scripts/deps.sh build
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANE_BUILD_TESTS=OFF >/dev/null
  cmake --build build/release -j "$(nproc)"
)
exec "$root/build/release/program/veltrane" "$@"
