#!/bin/sh
# Draws the About window's product picture (run once; the JPEG is kept in the tree).
set -e
cd "$(dirname "$0")"
convert -size 100x100 xc:'#eef3f8' \
 -fill '#2b4a6f' -stroke '#1a2f47' -strokewidth 2 -draw "roundrectangle 14,30 86,78 8,8" \
 -fill '#3d6da3' -stroke none -draw "rectangle 20,36 80,52" \
 -fill '#9fd36b' -draw "circle 28,64 31,64" -fill '#f5c542' -draw "circle 42,64 45,64" \
 -fill '#e85d5d' -draw "circle 56,64 59,64" \
 -fill '#444444' -draw "rectangle 66,10 70,30" -fill '#222222' -draw "circle 68,10 68,7" \
 -fill '#cfd8e3' -draw "rectangle 84,48 94,60" \
 -fill white -font DejaVu-Sans-Bold -pointsize 11 -draw "text 27,48 'M845'" \
 -stroke '#3d6da3' -strokewidth 2 -fill none -draw "arc 56,0 80,20 200,340" \
 -draw "arc 50,-6 86,26 200,340" \
 -quality 90 about.jpg
