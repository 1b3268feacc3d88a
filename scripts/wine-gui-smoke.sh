#!/usr/bin/env bash
# Runs binwright-gui.exe as the Windows bundle ships it (unzipped from
# binwright-<version>-windows-x64.zip) under Wine in a private Xvfb with a window manager
# (openbox) and a private prefix: the views' tests on real windows (winapp_tests.exe of the
# build folder), then the program on the simulated line (--simulate --log FILE): its window
# found by its title, at 625 x 680 centred on the screen, the Line simulator beside it; an
# image loaded through the open dialog (its path typed), a manual write (a mouse plugged with
# the Line simulator's button, then the write button) and an automatic write (Auto Write
# checked, a mouse plugged), each read back as "Write Pass" from the log; a second start exits
# 0 and brings the first copy's window back from minimised and to the front. Screenshots of
# the start-up, the loaded image and the write's pass, and of the other views in the states
# the window's behaviour gives them, go to SHOT_DIR.
# Installs openbox, xdotool, imagemagick and the fonts when they are missing (Debian 12, as
# root).
# Usage: scripts/wine-gui-smoke.sh [WINDOWS_BUILD_DIR [SHOT_DIR]]   (relative or absolute)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath -m "${1:-build-windows}")
shot_dir=${2:-}
photograph_views=0
[ -z "$shot_dir" ] || photograph_views=1
version=$(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip="$build_dir/binwright-$version-windows-x64.zip"
[ -f "$zip" ] || { echo "wine-gui-smoke: $zip not built (scripts/build-windows.sh)" >&2; exit 1; }

missing=()
for p in xvfb xauth openbox xdotool imagemagick x11-utils fonts-wine fonts-wqy-microhei; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
wine=$(command -v wine)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

fail() { echo "wine-gui-smoke: FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
[ -n "$shot_dir" ] || shot_dir="$work/shots"
mkdir -p "$shot_dir"
shot_dir=$(realpath "$shot_dir")
# A display of its own: the first free number from 60.
display=60
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
export DISPLAY=":$display"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
openbox >/dev/null 2>&1 &
pids+=($!)

unzip -q "$zip" -d "$work/bundle"
exe="$work/bundle/binwright-gui.exe"
[ -f "$exe" ] || fail "binwright-gui.exe is not in $(basename "$zip")"
if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_info'; then fail "binwright-gui.exe is not stripped"; fi
grep -aq 'activeCodePage' "$exe" || fail "binwright-gui.exe has no manifest"
echo "wine-gui-smoke: binwright-gui.exe $(stat -c %s "$exe") bytes, stripped, with its manifest: ok"

echo "wine-gui-smoke: creating the Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1 || true
# Chinese text as a Chinese Windows shows it: the faces Windows links Tahoma to for it, and
# the title bar's face, stand for the CJK font installed here.
for face in SimSun "MS UI Gothic" PMingLiU "Microsoft YaHei" "微软雅黑" "Microsoft JhengHei"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
    /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done

# The window of a title, waited for (a cold start takes seconds); its id, or nothing.
window_of() {
  local id
  for _ in $(seq 1 "${2:-60}"); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 1
  done
  return 0
}
geometry() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p'; }
position() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([0-9-]*,[0-9-]*\).*/\1/p'; }
state() { xprop -id "$1" WM_STATE | sed -n 's/.*window state: //p'; }

# The views' own tests, on this display.
tests="$build_dir/tests/winapp_tests.exe"
if [ -f "$tests" ]; then
  (cd "$work" && "$wine" "$tests" --gtest_brief=1 >"$work/views.log" 2>&1) ||
    { cat "$work/views.log" >&2; fail "winapp_tests.exe"; }
  echo "wine-gui-smoke: the views' tests on real windows, passed: $(tr -d '\r' <"$work/views.log" | sed -n 's/.*\[  PASSED  \] //p')"
fi

head -c 2048 /dev/urandom >"$work/demo.bin"
(cd "$work" && exec "$wine" "$exe" --simulate --log smoke-log.csv >"$work/gui.log" 2>&1) &
pids+=($!)
main=$(window_of "MIRQ Mse Binwright v1.0")
[ -n "$main" ] || fail "no window titled \"MIRQ Mse Binwright v1.0\" appeared: $(cat "$work/gui.log")"
[ "$(geometry "$main")" = "625x680" ] || fail "the window is $(geometry "$main"), not 625x680"
[ "$(position "$main")" = "$(( (1280 - 625) / 2 )),$(( (1024 - 680) / 2 ))" ] ||
  fail "the window is at $(position "$main"), not centred on the 1280 x 1024 screen"
simulator=$(window_of "Line simulator" 20)
[ -n "$simulator" ] || fail "no Line simulator window beside the main window"
echo "wine-gui-smoke: the window found by its title, 625x680 at $(position "$main"), the Line simulator beside it: ok"
sleep 1
# The two windows as the operator sees them at start-up: the part of the screen they take,
# with their frames.
read -r x0 y0 x1 y1 < <(for w in "$main" "$simulator"; do
  xwininfo -id "$w" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, x + w, y + h}'
done | awk 'NR == 1 || $1 < a {a = $1} NR == 1 || $2 < b {b = $2} NR == 1 || $3 > c {c = $3}
  NR == 1 || $4 > d {d = $4} END {m = 8; t = 32; print a - m, b - t, c + m, d + m}')
import -window root -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$shot_dir/windows-start-up.png"

# The operator's steps with the mouse, at the controls' places in the window's client area.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
passes() { grep -c 'Write Pass' "$work/smoke-log.csv" 2>/dev/null || true; }
# Waits for the log's N-th "Write Pass" (the write takes a few seconds under Wine).
await_pass() {
  for _ in $(seq 1 60); do [ "$(passes)" -ge "$1" ] && return 0; sleep 0.5; done
  fail "$2: no \"Write Pass\" in the log ($(passes) so far): $(tail -n 3 "$work/smoke-log.csv" 2>/dev/null)"
}
plug_new_mouse() {  # the Line simulator: pull the mouse, plug one of IC type 0
  xdotool windowactivate --sync "$simulator" >/dev/null 2>&1 || true
  click "$simulator" 88 70  # Pull mouse
  sleep 1.5
  click "$simulator" 88 42  # Plug ... mouse
}
click "$main" 88 236  # Load BIN: the open dialog
dialog=$(window_of "Open" 20)
[ -n "$dialog" ] || fail "the load button opened no file dialog"
xdotool type --delay 5 "Z:${work//\//\\}\\demo.bin"
xdotool key Return
for _ in $(seq 1 20); do [ -z "$(xdotool search --onlyvisible --name '^Open$' 2>/dev/null)" ] && break; sleep 0.5; done
sleep 2
import -window "$main" -frame "$shot_dir/windows-loaded.png"
echo "wine-gui-smoke: an image loaded through the open dialog: ok"

plug_new_mouse
sleep 2.5  # the window's 1000 ms timer finds the mouse
click "$main" 236 236  # Write
await_pass 1 "the manual write"
sleep 1.5
import -window "$main" -frame "$shot_dir/windows-write-pass.png"
echo "wine-gui-smoke: a mouse plugged with the Line simulator, written with the write button: Write Pass: ok"

click "$main" 130 154  # Auto Write
sleep 1
plug_new_mouse
await_pass 2 "the automatic write"
[ "$(passes)" -eq 2 ] || fail "$(passes) writes where two were made"
echo "wine-gui-smoke: Auto Write checked, a mouse plugged, written by itself: Write Pass: ok"
click "$main" 130 154  # Auto Write off again
sleep 1

# A second start: the first copy's window comes back from minimised and to the front, and
# the second ends with 0 without a window of its own.
xdotool windowminimize "$main"
for _ in $(seq 1 20); do [ "$(state "$main")" = Iconic ] && break; sleep 0.5; done
[ "$(state "$main")" = Iconic ] || fail "the window could not be minimised for the test"
set +e
(cd "$work" && timeout 60 "$wine" "$exe" >"$work/second.log" 2>&1)
code=$?
set -e
[ $code -eq 0 ] || fail "the second start exited with $code: $(cat "$work/second.log")"
for _ in $(seq 1 20); do [ "$(state "$main")" = Normal ] && break; sleep 0.5; done
[ "$(state "$main")" = Normal ] || fail "the second start did not restore the first window"
for _ in $(seq 1 20); do [ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] && break; sleep 0.5; done
[ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] ||
  fail "the first window is not in front: $(xdotool getactivewindow getwindowname 2>&1)"
[ "$(xdotool search --name '^MIRQ Mse Binwright v1.0$' | wc -l)" -eq 1 ] ||
  fail "the second start made a window of its own"
echo "wine-gui-smoke: a second start exits 0 and brings the first window back and to the front: ok"
kill "${pids[-1]}" 2>/dev/null || true
"$wineserver" -k >/dev/null 2>&1 || true

# The other views in the states the window's behaviour gives them, photographed when the
# pictures are asked for (SHOT_DIR): they take half a minute, and the views' tests above
# have checked them.
if [ -f "$tests" ] && [ "$photograph_views" = 1 ]; then
  for view in line-simulator loading password file-open file-save; do
    (cd "$work" && exec "$wine" "$tests" --gallery "$view" >>"$work/gallery.log" 2>&1) &
    gallery=$!
    case $view in
      password) title="MIRQ Binwright " ;;
      file-open) title="Open" ;;
      file-save) title="Save As" ;;
      *) title="MIRQ Mse Binwright v1.0" ;;
    esac
    id=$(window_of "$title" 60)
    [ -n "$id" ] || fail "the $view view did not appear"
    sleep 2
    main=$(xdotool search --onlyvisible --name '^MIRQ Mse Binwright v1.0$' | head -n 1 || true)
    case $view in
      # Beside the main window, as the operator sees them.
      line-simulator | file-open | file-save) import -window root "$shot_dir/windows-$view.png" ;;
      # Over the main window: the main window's place on the screen.
      loading | password)
        import -window root -crop "625x680+$(position "$main" | tr , +)" +repage \
          "$shot_dir/windows-$view.png" ;;
      *) import -window "$id" "$shot_dir/windows-$view.png" ;;
    esac
    kill "$gallery" 2>/dev/null || true
    wait "$gallery" 2>/dev/null || true
    "$wineserver" -k >/dev/null 2>&1 || true
  done
  echo "wine-gui-smoke: the views photographed: ok"
fi

# The gang station window of the program itself, on a simulated line of 8 ports: twelve
# mice, port 6's do not answer. A second gang station is refused while it runs. Photographed
# while the mice are written, then closed as an operator closes it: the first close lets the
# mice in progress end and the window stays; once they ended the next close closes it, and
# the program ends with the run's exit code (1: a mouse failed).
gang_smoke() {
  local id code asked=0 shown left
  head -c 2048 /dev/urandom >"$work/demo.bin"
  (set +e; cd "$work" && "$wine" "$exe" --gang demo.bin --write-id --sn 1A0 --slots 8 \
    --simulate=slots=8,mice=12,latency-us=1000,handling-ms=800,fault-slot=6,nack=1 \
    >"$work/gang.log" 2>&1; echo $? >"$work/gang.code") &
  pids+=($!)
  id=$(window_of "MIRQ Binwright gang station" 60)
  [ -n "$id" ] || fail "no gang station window appeared: $(cat "$work/gang.log")"
  shown=$(date +%s%N)
  # A second gang station would fight the first for the mice: it brings the first to the
  # front, says so and ends with 2, while the first goes on.
  set +e
  (cd "$work" && timeout 60 "$wine" "$exe" --gang demo.bin --slots 8 >"$work/gang2.log" 2>&1)
  code=$?
  set -e
  [ $code -eq 2 ] || fail "a second gang station exited with $code, not 2: $(cat "$work/gang2.log")"
  grep -q "another gang station is open" "$work/gang2.log" ||
    fail "a second gang station did not say why it ended: $(cat "$work/gang2.log")"
  [ "$(xdotool search --name '^MIRQ Binwright gang station$' | wc -l)" -eq 1 ] ||
    fail "a second gang station made a window of its own"
  # The picture 6.5 s after the window appeared, while the second mice are written.
  left=$((6500 - ($(date +%s%N) - shown) / 1000000))
  [ $left -le 0 ] || sleep "$((left / 1000)).$(printf %03d $((left % 1000)))"
  import -window "$id" -frame "$shot_dir/windows-gang-station.png"
  xdotool windowactivate --sync "$id" key --clearmodifiers alt+F4
  sleep 3
  [ -n "$(xdotool search --onlyvisible --name '^MIRQ Binwright gang station$')" ] ||
    fail "the first close closed the gang station while mice were written"
  [ ! -f "$work/gang.code" ] || fail "the gang station ended at the first close"
  # Closes again until the program ends: while mice are still written a close asks before it
  # aborts them (a box titled as the program's boxes are), and the answer is no.
  for _ in $(seq 1 30); do
    [ -f "$work/gang.code" ] && break
    if [ -n "$(xdotool search --onlyvisible --name '^MIRQ Binwright$')" ]; then
      asked=$((asked + 1))
      xdotool key --clearmodifiers n
    else
      xdotool windowactivate "$id" key --clearmodifiers alt+F4 2>/dev/null || true
    fi
    sleep 2
  done
  [ -f "$work/gang.code" ] || {
    import -window root "$shot_dir/windows-gang-close-failed.png"
    fail "the closes did not end the gang station: $(cat "$work/gang.log")"
  }
  code=$(cat "$work/gang.code")
  [ "$code" -eq 1 ] || fail "the gang station ended with $code, not 1 (port 6's mice failed)"
  echo "wine-gui-smoke: the gang station: a second one exits 2; 8 slots photographed; the first close lets the mice end (asked $asked time(s) before an abort), the next closes with exit code 1: ok"
  "$wineserver" -k >/dev/null 2>&1 || true
}
gang_smoke
echo "wine-gui-smoke: passed in $SECONDS s"
echo "wine-gui-smoke: screenshots in $shot_dir"
ls "$shot_dir"
