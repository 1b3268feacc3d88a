#!/usr/bin/env bash
# Cross-builds the command line binwright.exe for 64-bit Windows (statically linked) and
# bundles it with the README (README.txt, CRLF line ends) and the licence (LICENSE.txt)
# into binwright-<version>-windows-x64.zip in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBINWRIGHT_WERROR=ON \
  -DBINWRIGHT_GUI=OFF -DBINWRIGHT_TESTS=OFF -DBINWRIGHT_BENCH=OFF
cmake --build "$build_dir" --target binwright -j"${BUILD_JOBS:-2}"
echo "built $build_dir/src/binwright.exe"

version=$(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip="$(realpath "$build_dir")/binwright-$version-windows-x64.zip"  # a relative or absolute folder
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build_dir/src/binwright.exe" "$stage/"
sed 's/\r*$/\r/' README.md >"$stage/README.txt"
sed 's/\r*$/\r/' LICENSE >"$stage/LICENSE.txt"
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$zip" binwright.exe README.txt LICENSE.txt)
echo "bundled $zip"
