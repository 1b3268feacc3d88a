#!/usr/bin/env bash
# Draws the main window's pictures with ImageMagick: the 200 x 66 logo on a
# transparent background, the green and red 30 x 30 presence discs and the
# drop-down arrow of the lists.
set -euo pipefail
cd "$(dirname "$0")/../assets"

convert -size 200x66 xc:none \
  -fill 'rgb(0,44,200)' -draw 'roundrectangle 2,6 197,59 12,12' \
  -fill white -font DejaVu-Sans-Bold -pointsize 40 -gravity center -annotate +0+0 'MIRQ' \
  -strip logo.png

disc() {
  convert -size 30x30 xc:none \
    -fill "$1" -stroke "$2" -strokewidth 2 -draw 'circle 15,15 15,2' \
    -fill 'rgba(255,255,255,0.55)' -stroke none -draw 'ellipse 11,10 5,3 0,360' \
    -strip "$3"
}
disc 'rgb(0,190,60)' 'rgb(0,110,30)' find.png
disc 'rgb(220,30,30)' 'rgb(130,10,10)' nofind.png

convert -size 9x5 xc:none -fill black -draw 'polygon 0,0 8,0 4,4' -strip arrow.png
