#!/usr/bin/env bash
# Builds the Debian package of a release build (the "package" workflow preset) and prints
# its path: build/package/veltrane_<version>_<arch>.deb.
# Usage: ./package.sh [CMAKE_OPTION ...], for example -DVELTRANE_MAINTAINER="Name <mail>".
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh package >&2
build=build/package
if [ $# -gt 0 ]; then
  # Options given once stay in the build's cache for every later run.
  cmake --preset package "$@" >/dev/null
fi
rm -f "$build"/veltrane_*.deb
# Only what the compiler and packager have to say goes to standard error; an up-to-date
# build says nothing. The package's path is the output.
cmake --workflow --preset package 2>&1 |
  { grep --line-buffered -v -e '^ninja: no work to do\.$' -e '^Executing workflow step' \
      -e '^-- ' -e '^CPack: ' -e '^$' >&2 || true; }
ls "$build"/veltrane_*.deb
