#!/usr/bin/env bash
# Builds the window and saves pictures of it into docs/: the main window with a few listed
# files, real transfers over 127.0.0.1 and the activity they leave, the transfer window
# following a download, the about box, the file information with its checksums, the
# Security page's rule tester and "Copy Download Command"; then the main and transfer windows again in a
# dark palette (-dark) and on a 2x screen (-2x). Runs on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=build/screenshots
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target screenshots
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/screenshots" docs
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/screenshots" docs dark
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1600x1200x24" "$build/tools/screenshots" docs 2x
