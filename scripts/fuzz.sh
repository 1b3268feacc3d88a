#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers)
# and runs each for a bounded time, starting from its corpus in fuzz/corpus/<target>/.
# Any crash, sanitizer report or broken invariant fails the run; the input that caused
# it is left in the build folder as crash-*.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]   (defaults 30, build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build_dir=${2:-build-fuzz}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBINWRIGHT_WERROR=ON \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DBINWRIGHT_GUI=OFF -DBINWRIGHT_TESTS=OFF -DBINWRIGHT_BENCH=OFF -DBINWRIGHT_FUZZ=ON >/dev/null

targets=()
for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for t in "${targets[@]}"; do
  # New inputs go to a scratch folder; the corpus in the repository stays as it is.
  work="$build_dir/corpus-$t"
  mkdir -p "$work"
  echo "fuzzing $t for ${seconds}s"
  (cd "$build_dir" && "./fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
      -max_len=8192 "corpus-$t" "../fuzz/corpus/$t" 2>&1 | tail -n 12)
done
