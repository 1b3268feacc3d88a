#!/usr/bin/env bash
# What an idle gang station costs on Windows: `binwright.exe run --gang` under Wine with no
# target mouse, for SECONDS (default 60), on the real HID binding; prints the processor time
# the program used per idle minute. Wine 8 lacks CM_Register_Notification, so this measures
# the poll that is the fallback (every interface enumerated and opened at each look).
# Usage: bench/windows-presence-cost.sh [WINDOWS_BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath -m "${1:-build-windows}")
seconds=${2:-60}
exe="$build_dir/src/binwright.exe"
[ -f "$exe" ] || { echo "no $exe (scripts/build-windows.sh)" >&2; exit 1; }
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
wine wineboot -i >/dev/null 2>&1 || true
head -c 2048 /dev/zero >"$work/image.bin"
(cd "$work" && exec wine "$exe" run image.bin --gang >/dev/null 2>&1) &
sleep 5  # started, the first look done
# This prefix's processes only: other Wine prefixes may run beside it.
in_prefix() {
  local p
  for p in $(pgrep "$@"); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done | head -n 1
}
pid=$(in_prefix -f 'binwright.exe run image.bin --gang')
[ -n "$pid" ] || { echo "binwright.exe did not start" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
server=$(in_prefix -x 'wineserver(64)?')
[ -n "$server" ] || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }
before=$(ticks "$pid") server_before=$(ticks "$server")
sleep "$seconds"
after=$(ticks "$pid") server_after=$(ticks "$server")
hz=$(getconf CLK_TCK)
echo "seconds=$seconds process_cpu_ms_per_idle_minute=$(((after - before) * 1000 * 60 / hz / seconds))" \
  "wineserver_cpu_ms_per_idle_minute=$(((server_after - server_before) * 1000 * 60 / hz / seconds))"
