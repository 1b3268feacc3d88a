#!/usr/bin/env bash
# Cross-builds binwright.exe for 64-bit Windows (statically linked, MinSizeRel, stripped:
# the debug information stays beside it as binwright.exe.debug) with SQLite and libpq built
# from Debian's source packages once per build folder, and packages it: the zip
# binwright-<version>-windows-x64.zip (the exe, README-windows.txt, LICENSE.txt) and the
# installer binwright-<version>-x64.msi, both in the build folder.
# Usage: scripts/build-windows.sh [BUILD_DIR]   (default build-windows; relative or absolute)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath -m "${1:-build-windows}")
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_CXX_FLAGS_MINSIZEREL="-Os -DNDEBUG -g" \
  -DBINWRIGHT_WERROR=ON -DBINWRIGHT_GUI=OFF -DBINWRIGHT_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build_dir" --target windows_package -j"${BUILD_JOBS:-2}"
echo "built $build_dir/src/binwright.exe ($(stat -c %s "$build_dir/src/binwright.exe") bytes, stripped)"
