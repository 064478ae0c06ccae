#!/usr/bin/env bash
# Renders the bitmaps of the hicolor icon theme from veltrane.svg. Run after changing the
# drawing and commit the results; needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "veltrane-$size.png" veltrane.svg
done
