#!/usr/bin/env bash
# Builds build types the main build (RelWithDebInfo, scripts/setup.sh) does not cover,
# warnings as errors, and runs the core tests in each: by default Debug with Clang. The
# other optimised builds are the Windows build (MinSizeRel, its core tests under Wine) and
# the Debian package (-O2 with hardening); the sanitizer run is Debug with GCC. The window
# and the benchmarks are left out to keep the time down; the main build has them.
# Usage: scripts/test-build-types.sh [BUILD_DIR_PREFIX]   (default build; folders PREFIX-TYPE)
#   BUILD_TYPES="Release:g++ MinSizeRel:g++ Debug:clang++" chooses the type:compiler pairs.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-build}
for pair in ${BUILD_TYPES:-Debug:clang++}; do
  type=${pair%%:*} cxx=${pair#*:}
  dir="$prefix-$(echo "$type" | tr '[:upper:]' '[:lower:]')-$cxx"
  start=$SECONDS
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DCMAKE_CXX_COMPILER="$cxx" \
    -DBINWRIGHT_WERROR=ON -DBINWRIGHT_GUI=OFF -DBINWRIGHT_BENCH=OFF >/dev/null
  cmake --build "$dir" -j"$(nproc)" >"$dir/build.log" 2>&1 || { cat "$dir/build.log" >&2; exit 1; }
  built=$SECONDS
  ctest --test-dir "$dir" -L 'core|threads' --output-on-failure -j"$(nproc)" --timeout 300 \
    >"$dir/ctest.log" 2>&1 || { cat "$dir/ctest.log" >&2; exit 1; }
  grep 'tests passed' "$dir/ctest.log"
  echo "build type $type ($cxx): build $((built - start)) s, core tests $((SECONDS - built)) s"
done
