#!/usr/bin/env bash
# Builds the Debian package the way a distribution builds it: a build folder of its own,
# configured with the compiler and linker flags of dpkg-buildflags (all hardening
# features: PIE, -fstack-protector-strong, _FORTIFY_SOURCE, full RELRO, BIND_NOW),
# then CPack. Prints the path of the .deb.
# Usage: scripts/build-deb.sh [BUILD_DIR]   (default build-deb)
#   BINWRIGHT_WERROR=ON  warnings are errors (CI); a packager's build leaves it OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-deb}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Stack clash protection, which hardening-check also looks for (later dpkg releases have it
# among their hardening features).
export DEB_CXXFLAGS_MAINT_APPEND=-fstack-clash-protection
flag() { dpkg-buildflags --get "$1"; }
# CMake takes no CPPFLAGS: they go with the compiler flags, as debhelper passes them.
cxxflags="$(flag CXXFLAGS) $(flag CPPFLAGS)"
ldflags=$(flag LDFLAGS)

mkdir -p "$build_dir"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DBINWRIGHT_WERROR="${BINWRIGHT_WERROR:-OFF}" \
  -DBINWRIGHT_TESTS=OFF -DBINWRIGHT_BENCH=OFF >"$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log" >&2; exit 1; }
cmake --build "$build_dir" -j"${BUILD_JOBS:-$(nproc)}" >&2
(cd "$build_dir" && rm -f binwright_*.deb && cpack -G DEB >cpack.log 2>&1) ||
  { cat "$build_dir/cpack.log" >&2; exit 1; }
ls "$(realpath "$build_dir")"/binwright_*_amd64.deb
