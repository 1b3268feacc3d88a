#!/usr/bin/env bash
# Cross-builds the command line binwright.exe for 64-bit Windows (statically linked).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBINWRIGHT_WERROR=ON \
  -DBINWRIGHT_GUI=OFF -DBINWRIGHT_TESTS=OFF -DBINWRIGHT_BENCH=OFF
cmake --build "$build_dir" --target binwright -j"${BUILD_JOBS:-2}"
echo "built $build_dir/src/binwright.exe"
