#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine (root) with apt-get,
# runs the installed command line on the simulated mouse, checks the package's
# files and removes it again.
# Usage: scripts/package-smoke.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
[ "$(id -u)" -eq 0 ] || { echo "package-smoke: needs root (apt-get install)" >&2; exit 1; }
fail() { echo "package-smoke: FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build_dir" && rm -f binwright_*.deb && cpack -G DEB >"$work/cpack.log") ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$build_dir"/binwright_*_amd64.deb)
echo "package-smoke: built $(basename "$deb")"
dpkg-deb -f "$deb" Depends

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install"; }
trap 'apt-get remove -y -qq binwright >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

files=$(dpkg -L binwright)
for f in /usr/bin/binwright /usr/bin/binwright-gui /usr/lib/udev/rules.d/70-binwright.rules \
         /usr/share/applications/binwright.desktop /usr/share/man/man1/binwright.1.gz \
         /usr/share/icons/hicolor/128x128/apps/binwright.png; do
  echo "$files" | grep -qx "$f" || fail "$f is not in the package"
done
grep -q 'TAG+="uaccess"' /usr/lib/udev/rules.d/70-binwright.rules || fail "udev rule without uaccess"

head -c 2048 /dev/urandom >"$work/image.bin"
(cd "$work" && /usr/bin/binwright --simulate=dump=out.bin write image.bin) || fail "installed binwright write"
cmp -s "$work/image.bin" "$work/out.bin" || fail "installed binwright wrote other bytes"
/usr/bin/binwright --version | grep -qx "binwright $(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ||
  fail "installed binwright --version"
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/binwright-gui --version | grep -q '^binwright-gui ' ||
  fail "installed binwright-gui --version"
echo "package-smoke: installed, ran from /usr/bin and removed: ok"
