#!/usr/bin/env bash
# Under Xvfb: the window on the simulated line loads a BIN file, switches to
# automatic mode and writes three mice plugged from the "Line simulator" window;
# the screenshot goes to docs/auto-mode.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
export DISPLAY=:57
work=$(mktemp -d)
Xvfb "$DISPLAY" -screen 0 1600x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$gui" "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
head -c 2048 /dev/urandom >"$work/demo.bin"
"$build_dir/src/binwright-gui" --simulate --log "$work/log.csv" >/dev/null 2>&1 &
gui=$!
sleep 3
main=$(xdotool search --name "MIRQ Mse Binwright v1.0" | head -1)
line=$(xdotool search --name "Line simulator" | head -1)
xdotool mousemove --window "$main" 88 226 click 1  # Load BIN
sleep 2
xdotool type --delay 20 "$work/demo.bin"
xdotool key Return
sleep 3
xdotool mousemove --window "$main" 340 337 click 1  # Write Product ID
xdotool mousemove --window "$main" 135 140 click 1  # Auto Write: the open mouse is written
sleep 8
for _ in 1 2; do
  xdotool mousemove --window "$line" 91 78 click 1  # Pull mouse
  sleep 2.5
  xdotool mousemove --window "$line" 91 50 click 1  # Plug KVDE31X mouse
  sleep 9
done
import -window root "$work/screen.png"
convert "$work/screen.png" -crop 1150x700+480+100 +repage docs/auto-mode.png
cat "$work/log.csv"
