#!/bin/sh
# Renders the hicolor PNG sizes from vorlith.svg. The PNGs are committed; run this after editing
# the SVG (needs rsvg-convert, from librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" vorlith.svg -o "vorlith-$size.png"
done
