#!/usr/bin/env bash
# A private Wine prefix for one test run: `start` makes it afresh, `stop` ends its server
# and removes it.
# Usage: wine-prefix.sh start|stop PREFIX
set -euo pipefail
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
case $action in
  start)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || true
    # The registry reaches the disk when the server ends.
    "$wineserver" -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-prefix: wineboot made no prefix" >&2; exit 1; }
    ;;
  stop)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    ;;
esac
