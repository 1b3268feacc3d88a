#!/usr/bin/env bash
# Runs binwright.exe as the Windows bundle ships it (unzipped from
# binwright-<version>-windows-x64.zip) under Wine, headless: a simulated write and
# verify round trip, and a list through the real SetupAPI/HID.dll binding.
# Usage: scripts/wine-smoke.sh [WINDOWS_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
version=$(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip="$(realpath -m "$build_dir")/binwright-$version-windows-x64.zip"
[ -f "$zip" ] || { echo "wine-smoke: $zip not built (scripts/build-windows.sh)" >&2; exit 1; }
wine=$(command -v wine || true)
[ -n "$wine" ] || { echo "wine-smoke: wine is not installed" >&2; exit 1; }
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

work=$(mktemp -d)
trap '"$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work/bundle"
for f in binwright.exe README.txt LICENSE.txt; do
  [ -f "$work/bundle/$f" ] || { echo "wine-smoke: FAIL: $f is not in $(basename "$zip")" >&2; exit 1; }
done
exe="$work/bundle/binwright.exe"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
echo "wine-smoke: creating the Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1 || true

run() { (cd "$work" && "$wine" "$exe" "$@"); }
fail() { echo "wine-smoke: FAIL: $*" >&2; exit 1; }

# An image of 2048 pseudo-random bytes.
head -c 2048 /dev/urandom >"$work/image.bin"

for ic in 0 1; do
  rm -f "$work/out.bin"
  out=$(run --simulate=ic=$ic,dump=out.bin write --ic $ic image.bin) || fail "write ic=$ic: $out"
  echo "$out" | grep -q "Write Pass" || fail "write ic=$ic said: $out"
  cmp -s "$work/image.bin" "$work/out.bin" || fail "write ic=$ic: the mouse's memory differs"
  out=$(run --simulate=ic=$ic,memory=out.bin verify --ic $ic image.bin) || fail "verify ic=$ic: $out"
  echo "$out" | grep -q "Verify Pass" || fail "verify ic=$ic said: $out"
  echo "wine-smoke: write and verify round trip, IC type $ic: ok"
done

# Real binding path: exit 0 and a count line; a failed binding exits 1 with
# "HID services unavailable", a crash with another code.
set +e
out=$(run list 2>&1)
code=$?
set -e
echo "$out" | sed 's/^/  /'
[ $code -eq 0 ] || fail "list exited with $code"
echo "$out" | grep -Eq '^[0-9]+ HID interfaces?' || fail "list printed no interface count"
echo "wine-smoke: list through SetupApi.dll and HID.dll: ok"

# With HID.dll disabled the binding must fail visibly, not look like an empty line.
set +e
out=$(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;hid=d" run list 2>&1)
code=$?
set -e
[ $code -eq 1 ] && echo "$out" | grep -q "HID services unavailable: cannot load HID.dll" ||
  fail "list without HID.dll exited with $code: $out"
echo "wine-smoke: list without HID.dll reports the failed binding: ok"

# This build has no ledger backend: --ledger says so and exits with 2.
set +e
out=$(run ledger check --ledger ledger.db 2>&1)
code=$?
set -e
[ $code -eq 2 ] && echo "$out" | grep -q "this build of binwright has no ledger" ||
  fail "ledger check exited with $code: $out"
echo "wine-smoke: --ledger without a backend exits with 2: ok"
