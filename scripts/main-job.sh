#!/usr/bin/env bash
# Starts the tool. With a display: the window, on the real line when a target mouse
# is connected, otherwise on the simulated line with its "Line simulator" window.
# Without a display: the command-line automatic mode on a simulated line of 3 mice.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
cli="$build_dir/src/binwright"

# A target mouse (VID 3A5C, PID 0C21 or 0C37) that could be opened.
real_target_present() {
  "$cli" list --json 2>/dev/null |
    grep -A1 '"vid": "3A5C"' | grep -Eq '"pid": "0C(21|37)"'
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if real_target_present; then
    exec "$build_dir/src/binwright-gui"
  fi
  exec "$build_dir/src/binwright-gui" --simulate
fi

demo="${TMPDIR:-/tmp}/binwright-demo.bin"
# A demo image: 2048 bytes of a repeating pattern.
head -c 2048 /dev/zero | tr '\000' '\132' >"$demo"
exec "$cli" --simulate=mice=3 run "$demo" --count 3 --interval-ms 1000
