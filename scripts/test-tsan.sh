#!/usr/bin/env bash
# The Clang build of the test command: builds every target but the window and the benchmarks
# with Clang (Debug, warnings as errors) and ThreadSanitizer, and runs the core tests there:
# those that drive the core from several threads at once (label threads) and the others
# (label core) under the sanitizer too. Any race report fails the run.
# Usage: scripts/test-tsan.sh [BUILD_DIR]   (default build-tsan; CXX=g++ for GCC's)
#   TSAN_LABELS=threads runs the threaded suites only.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-tsan}
cxx=${CXX:-clang++}

flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
start=$(date +%s)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBINWRIGHT_WERROR=ON \
  -DCMAKE_CXX_COMPILER="$cxx" -DBINWRIGHT_GUI=OFF -DBINWRIGHT_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
built=$(date +%s)

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# ThreadSanitizer needs the address layout it expects; some kernels randomise more of it.
run=()
if ! "$build_dir/tests/core_tests" --gtest_list_tests >/dev/null 2>&1; then
  run=(setarch "$(uname -m)" -R)
fi
"${run[@]}" ctest --test-dir "$build_dir" -L "${TSAN_LABELS:-core|threads}" --output-on-failure \
  -j"$(nproc)" --timeout 600 --no-tests=error
echo "thread sanitizer run: build $((built - start)) s, tests $(($(date +%s) - built)) s"
