#!/usr/bin/env bash
# Runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 300
# The other build types (Release, MinSizeRel, Debug with Clang): build and core tests.
bash scripts/test-build-types.sh "$build_dir"
# The Qt-free code must also cross-build and link for Windows, bundled in a zip ...
bash scripts/build-windows.sh "${build_dir}-windows"
# ... and run from that zip under Wine: simulated round trips and the real HID binding.
bash scripts/wine-smoke.sh "${build_dir}-windows"
# The Debian package, built with the hardening flags: hardening-check, lintian, the unit
# verified, installed with apt-get, run from /usr/bin and as the station's user, removed.
if [ "${CI:-}" = true ] || [ "${PACKAGE_SMOKE:-}" = 1 ]; then
  bash scripts/package-smoke.sh "${build_dir}-deb"
fi
# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
bash scripts/test-sanitizers.sh "${build_dir}-asan"
# The tests that run the core from several threads, under ThreadSanitizer.
bash scripts/test-tsan.sh "${build_dir}-tsan"
# Each fuzz target for a bounded time (FUZZ_SECONDS each, default 30).
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" "${build_dir}-fuzz"
