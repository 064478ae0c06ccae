#!/usr/bin/env bash
# Installs what is missing, builds a release build, and starts veltrane with the given arguments.
# The program runs in the caller's folder, so relative paths name the caller's files.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
(
  cd "$root"
  scripts/deps.sh build
  cmake --preset release >/dev/null
  # An up-to-date build would print only Ninja's "no work to do."; the server's output comes first.
  cmake --build --preset release -j "$(nproc)" | { grep --line-buffered -vx 'ninja: no work to do\.' || true; }
)
exec "$root/build/release/program/veltrane" "$@"
