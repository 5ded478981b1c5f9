#!/usr/bin/env bash
# Renders the pictures that are drawn as SVG into the PNG files the program
# and the package use: the icon at each size of the hicolor theme, and the
# banner at twice its size for high-density screens. Run it after changing
# an SVG and commit the PNG files with it; the build itself needs no SVG
# renderer. (banner.png, the banner at its own size, predates its SVG and is
# kept as it was drawn.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --art

icon=data/icons/org.tidyfold.Tidyfold.svg
for size in 16 32 48 64 128 256; do
    mkdir -p "data/icons/$size"
    rsvg-convert -w "$size" -h "$size" "$icon" -o "data/icons/$size/org.tidyfold.Tidyfold.png"
done
rsvg-convert -w 600 -h 338 resources/banner.svg -o resources/banner@2x.png
