#!/usr/bin/env bash
# Builds the core's unit tests for Windows in the Windows build folder (scripts/build-windows.sh
# configured it) and runs them under Wine in a private prefix, on a Chinese system (code
# page 936). tests/windows/wine_tests.cmake names the cases left out and why.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath -m "${1:-build-windows}")
[ -f "$build_dir/CMakeCache.txt" ] || bash scripts/build-windows.sh "$build_dir"
start=$SECONDS
cmake --build "$build_dir" --target core_tests ledger_tests console_event winapp_tests -j"${BUILD_JOBS:-$(nproc)}" \
  >"$build_dir/tests-build.log" 2>&1 || { tail -n 60 "$build_dir/tests-build.log" >&2; exit 1; }
built=$SECONDS
ctest --test-dir "$build_dir" -L windows --output-on-failure --timeout 900 -j2
echo "windows tests: build $((built - start)) s, tests under Wine $((SECONDS - built)) s"
