#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen

echo "== Build and test (RelWithDebInfo)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_WERROR=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test -j "$jobs" --label-exclude fuzz

echo "== Engine and core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRANE_SANITIZE=ON \
  -DVELTRANE_BUILD_UI=OFF -DVELTRANE_ONLY="fileio;engine;security;log;core;app"
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan -j "$jobs" -L sanitize

echo "== Engine and serving-core tests under ThreadSanitizer"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRANE_TSAN=ON \
  -DVELTRANE_BUILD_UI=OFF -DVELTRANE_ONLY="fileio;engine;security;log;core;app"
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build/tsan -j "$jobs" -L sanitize

if command -v clang++ >/dev/null 2>&1 && [ -d fuzz ]; then
  echo "== Fuzzers (a few seconds each)"
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELTRANE_FUZZ=ON -DVELTRANE_BUILD_UI=OFF -DVELTRANE_BUILD_TESTS=OFF
  cmake --build build/fuzz -j "$jobs" --target all
  ctest --test-dir build/fuzz -L fuzz
else
  echo "== Fuzzers skipped (no clang++ or no fuzz targets)"
fi
echo "== Debian package: build, check, install, serve on a privileged port as nobody, remove"
./package.sh build/package
VELTRANE_PACKAGE="$(realpath build/package/veltrane_*.deb)" ctest --test-dir build/test -L package --no-tests=error
echo "== All tests passed"
