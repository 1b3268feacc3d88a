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
# The targets fuzz side by side (two targets, two cores), each for the time given; their
# reports follow one another.
fuzz_one() {
  local t=$1 work="$build_dir/corpus-$1"
  # New inputs go to a scratch folder; the corpus in the repository stays as it is.
  mkdir -p "$work"
  (cd "$build_dir" && "./fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
      -max_len=8192 "corpus-$t" "../fuzz/corpus/$t" >"fuzz-$t.log" 2>&1)
}
pids=()
for t in "${targets[@]}"; do
  echo "fuzzing $t for ${seconds}s"
  fuzz_one "$t" &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  rc=0
  wait "${pids[$i]}" || rc=$?
  echo "== ${targets[$i]}: exit $rc"
  tail -n 12 "$build_dir/fuzz-${targets[$i]}.log"
  [ $rc -eq 0 ] || failed=1
done
exit $failed
