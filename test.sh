#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
# Each build is a workflow preset of CMakePresets.json; `cmake --workflow --preset NAME`
# runs one of them alone.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}

echo "== Build and test (RelWithDebInfo)"
cmake --workflow --preset default
echo "== Engine and core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --workflow --preset asan
echo "== Engine and serving-core tests under ThreadSanitizer"
cmake --workflow --preset tsan
if command -v clang++ >/dev/null 2>&1; then
  echo "== Fuzzers (a few seconds each)"
  cmake --workflow --preset fuzz
else
  echo "== Fuzzers skipped (no clang++)"
fi

# The package holds the very program the tests above ran (./package.sh makes the same
# package from a release build of its own).
echo "== Debian package of the tested build: check, install, serve on a privileged port as nobody, remove"
rm -f build/test/deb/veltrane_*.deb
cpack --preset tested >/dev/null
VELTRANE_PACKAGE="$(realpath build/test/deb/veltrane_*.deb)" ctest --test-dir build/test -L package --no-tests=error
echo "== All tests passed"
