#!/usr/bin/env bash
# Runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 300
# The Qt-free code must also cross-build and link for Windows.
bash scripts/build-windows.sh "${build_dir}-windows"
