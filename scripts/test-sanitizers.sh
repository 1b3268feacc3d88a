#!/usr/bin/env bash
# Builds the whole tree once more with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test in it. Any sanitizer report fails the run.
# Usage: scripts/test-sanitizers.sh [BUILD_DIR]   (default build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-asan}

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
start=$(date +%s)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBINWRIGHT_WERROR=ON \
  -DBINWRIGHT_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
built=$(date +%s)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# The end-to-end label boots a guest kernel; it runs once, in the main suite.
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 900 -LE e2e
echo "sanitizer run: build $((built - start)) s, tests $(($(date +%s) - built)) s"
