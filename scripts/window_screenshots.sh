#!/usr/bin/env bash
# The operator's window as an operator sees it: under Xvfb on a 1280 x 1024 screen with
# a window manager (openbox), on the simulated line. Takes the screenshots in docs/:
#   screenshot.png        main window after start-up
#   window-loaded.png     with a BIN file loaded and a mouse ready
#   loading-window.png    during a write, with the loading window over the main window
#   write-pass.png        after "Write Pass"
#   file-open.png         the file-open dialog
#   file-save.png         the file-save dialog
#   password-dialog.png   the password dialog after five double-clicks on the logo
#   locked-box.png        the "Locked" box
#   line-simulator.png    the whole screen with the Line simulator
#   window-no-answer.png  after a write to a mouse that does not answer: "Write Fail", why
#   gang-station.png      the gang station window on a line of 8 ports: mice passed, mice
#                         in their write, one port whose mice do not answer
#   gang-failed-tile.png  a gang station of two slots: one mouse passed, one failed, why
# Installs openbox, xdotool and imagemagick when they are missing (Debian 12, as root).
# Usage: scripts/window_screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

missing=()
for p in openbox xdotool imagemagick xvfb x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

export DISPLAY=${SCREENSHOT_DISPLAY:-:58}
work=$(mktemp -d)
gui=
wm=
Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $gui $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
head -c 2048 /dev/urandom >"$work/demo.bin"
# The file dialogs remember their last folder and layout: start from none.
export XDG_CONFIG_HOME="$work/.config"

gui_bin=$(realpath "$build_dir/src/binwright-gui")
# start TITLE WHAT COMMAND...: ends the running copy, starts COMMAND in the work folder and
# finds its window by TITLE (WHAT names it when it does not come up).
start() {
  local title=$1 what=$2
  shift 2
  if [ -n "$gui" ]; then
    kill "$gui" 2>/dev/null || true
    wait "$gui" 2>/dev/null || true
  fi
  (cd "$work" && exec "$@") >/dev/null 2>&1 &
  gui=$!
  sleep 3
  main=$(xdotool search --name "$title" | head -1 || true)
  [ -n "$main" ] || { echo "window_screenshots: $what did not come up" >&2; exit 1; }
}
# Slow transfers, so that the write lasts long enough to be seen.
start "MIRQ Mse Binwright v1.0" "the window (is another copy running?)" \
  "$gui_bin" --simulate=latency-us=4000

# The main window's frame on the screen: its client area and the window manager's margins.
# The client's place from xwininfo: xdotool's adds the title bar's height once more.
frame() {
  local x y w h extents
  eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print "x=" $4}
    /Absolute upper-left Y/ {print "y=" $4} /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
  extents=$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r left right top bottom <<<"$extents"
  echo "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))"
}
shot() {  # shot NAME: the main window's frame and whatever lies over it
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$(frame)" +repage "docs/$1"
}
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
load_demo() {  # Load BIN, the demo image typed into the file dialog
  click 88 226
  sleep 2
  [ -z "${1:-}" ] || shot "$1"
  xdotool type --delay 10 "$work/demo.bin"
  xdotool key Return
  sleep 3
}
loading_shown() {  # the 206 x 196 loading window is mapped
  local id
  for id in $(xdotool search --onlyvisible --pid "$gui" 2>/dev/null); do
    xdotool getwindowgeometry "$id" | grep -q 'Geometry: 206x196' && return 0
  done
  return 1
}

click 300 620  # activate the main window without touching a control
sleep 1
shot screenshot.png

load_demo file-open.png
shot window-loaded.png

click 532 226  # Save
sleep 2
shot file-save.png
xdotool key Escape
sleep 1

click 236 226  # Write
sleep 1.5
shot loading-window.png
for _ in $(seq 120); do
  loading_shown || break
  sleep 0.5
done
sleep 1
shot write-pass.png

for _ in 1 2 3 4 5; do
  xdotool mousemove --window "$main" 100 40 click --repeat 2 --delay 80 1
  sleep 0.4
done
sleep 1
shot password-dialog.png
xdotool type --delay 20 GlimmerQX
xdotool key Return
sleep 1
xdotool mousemove --window "$main" 100 40 click --repeat 2 --delay 80 1
sleep 1.5
shot locked-box.png
xdotool key Return
sleep 1

xdotool search --name "Line simulator" windowactivate --sync >/dev/null 2>&1 || true
sleep 1
import -window root docs/line-simulator.png

# A mouse that never acknowledges: the write fails before its first block, and says so.
start "MIRQ Mse Binwright v1.0" "the window for the silent mouse" "$gui_bin" --simulate=nack=1
click 300 620
sleep 1
load_demo
click 236 226  # Write
for _ in $(seq 60); do
  sleep 0.5
  loading_shown || break
done
sleep 1
shot window-no-answer.png

# The gang station is a window of the same program, an instance of its own; the main
# window's copy ends first. Twelve mice on eight ports: the first eight pass (port 6's
# fail), then four ports write their second mouse while the others still show their result.
# Its numbers go to a default ledger of its own, not to the one of whoever runs this.
start "MIRQ Binwright gang station" "the gang station window" env XDG_DATA_HOME="$work/data" \
  "$gui_bin" --gang demo.bin --write-id --sn 1A0 --slots 8 \
  --simulate=slots=8,mice=12,latency-us=1000,handling-ms=800,fault-slot=6,nack=1
sleep 6.5
shot gang-station.png

# Two slots, one of whose mice does not answer: its tile says why.
# A default ledger of its own again: the station above was killed and still holds its lease.
start "MIRQ Binwright gang station" "the second gang station window" \
  env XDG_DATA_HOME="$work/data2" "$gui_bin" --gang demo.bin --write-id --sn 1A0 --slots 2 \
  --count 2 --simulate=slots=2,mice=2,latency-us=1000,fault-slot=2,nack=1
sleep 9
shot gang-failed-tile.png
