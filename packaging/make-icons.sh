#!/usr/bin/env bash
# Renders the program's icon at the sizes desktops look for. Run after editing the SVG; the
# PNGs are kept in the repository so that a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/icons"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" com.example.M845Tool.svg -o "com.example.M845Tool-$size.png"
done
