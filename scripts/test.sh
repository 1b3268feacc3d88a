#!/usr/bin/env bash
# Runs every test; exits non-zero on any failure. Prints each step's time at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
export QT_QPA_PLATFORM=offscreen

times=()
report() {
  [ ${#times[@]} -gt 0 ] || return 0
  echo "step times:"
  printf '  %s\n' "${times[@]}"
  echo "  total $SECONDS s"
}
trap report EXIT
# step NAME COMMAND...: runs it and notes its time (a failure ends the run, its time noted).
step() {
  local name=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  times+=("$(printf '%-16s %5d s%s' "$name" $((SECONDS - start)) "$([ $rc -eq 0 ] || echo "  FAILED ($rc)")")")
  return $rc
}

step unit-tests ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 300
# The core cross-built for Windows (MinSizeRel, with SQLite and libpq from Debian's source
# packages), bundled in a zip and an installer ...
step windows-build bash scripts/build-windows.sh "${build_dir}-windows"
# ... its unit tests under Wine ...
step windows-tests bash scripts/test-windows.sh "${build_dir}-windows"
# ... and the zip and the installer under Wine: round trips, ledger, Chinese names, the
# service, the real HID binding, the MSI installed and removed.
step wine-smoke bash scripts/wine-smoke.sh "${build_dir}-windows"
# ... and the window, binwright-gui.exe from the zip, under Wine in Xvfb with openbox: found
# by its title, an image loaded through the open dialog, a write by hand and an automatic
# one on the simulated line read back from its log, the second start (about a minute).
step wine-gui-smoke bash scripts/wine-gui-smoke.sh "${build_dir}-windows"
# The Debian package, built with the hardening flags: hardening-check, lintian, the unit
# verified, installed with apt-get, run from /usr/bin and as the station's user, removed.
if [ "${CI:-}" = true ] || [ "${PACKAGE_SMOKE:-}" = 1 ]; then
  step package-smoke bash scripts/package-smoke.sh "${build_dir}-deb"
fi
# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
step sanitizers bash scripts/test-sanitizers.sh "${build_dir}-asan"
# The Clang build (Debug, every target but the window): the core tests under
# ThreadSanitizer, those that run the core from several threads above all. (The other build
# types: the main one, the Windows one (MinSizeRel), the Debian package (-O2, hardened) and
# the sanitizer run (Debug with GCC); scripts/test-build-types.sh builds any other.)
step tsan bash scripts/test-tsan.sh "${build_dir}-tsan"
# Each fuzz target for a bounded time (FUZZ_SECONDS each, default 30).
step fuzz bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" "${build_dir}-fuzz"
