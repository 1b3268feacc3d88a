#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, headless and quiet, on a Chinese
# system (code page 936) unless LANG names another; WINEPREFIX comes from the test.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=${BW_WINE_LANG:-zh_CN.UTF-8}
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
