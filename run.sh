#!/usr/bin/env bash
# Installs what is missing, builds a release build, and starts veltrane with the given arguments.
# The program runs in the caller's folder, so relative paths name the caller's files.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
(
  cd "$root"
  scripts/deps.sh build
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)"
)
exec "$root/build/release/program/veltrane" "$@"
