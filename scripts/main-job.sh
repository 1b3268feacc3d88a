#!/usr/bin/env bash
# Starts the tool: the window, on the simulated production line when no mouse is
# present; without a display, the command-line automatic mode on the simulated line.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build_dir/src/binwright-gui" --simulate
fi
exec "$build_dir/src/binwright" --simulate list
