#!/usr/bin/env bash
# Builds the busy animation of the loading window: 200 x 192 pixels, 12 frames of
# 50 ms, looping forever. Twelve dots on a ring, one bright head and a fading tail,
# on pure black (the window's transparent colour). Antialiasing is off so that every
# pixel is either pure black or clearly visible.
# Usage: scripts/make_wait_gif.sh [output]   (default assets/wait.gif)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-assets/wait.gif}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

width=200
height=192
cx=100
cy=96
ring=66   # radius of the ring of dots
dot=13    # radius of one dot
frames=12

# Tail colours from the head backwards; the rest of the ring stays dim.
tail=("#40FF40" "#30D838" "#28B030" "#208C28" "#1A6E22")
dim="#145A1C"

for ((f = 0; f < frames; f++)); do
    draw=()
    for ((i = 0; i < frames; i++)); do
        # Distance of dot i behind the head, which sits at dot f.
        behind=$(((f - i + frames) % frames))
        if ((behind < ${#tail[@]})); then colour=${tail[$behind]}; else colour=$dim; fi
        read -r x y < <(awk -v i="$i" -v n="$frames" -v r="$ring" -v cx="$cx" -v cy="$cy" \
            'BEGIN { a = 2 * 3.14159265 * i / n - 3.14159265 / 2;
                     printf "%d %d\n", cx + r * cos(a), cy + r * sin(a) }')
        draw+=(-fill "$colour" -draw "circle $x,$y $((x + dot)),$y")
    done
    convert -size "${width}x${height}" xc:black +antialias "${draw[@]}" \
        "$work/frame$(printf %02d "$f").png"
done

convert -delay 5 -loop 0 -dispose none "$work"/frame*.png "$out"
identify "$out"
