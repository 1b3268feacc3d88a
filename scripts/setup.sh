#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages, by name), then configures and builds.
# Usage: scripts/setup.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

# Every package the build and the test scripts use, by name: a minimal Debian 12 has none of
# them, and recommended packages are not installed (scripts/fresh-check.sh proves the list).
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libudev-dev libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev
  libgcrypt20-dev
  xvfb xauth x11-utils openbox xdotool imagemagick fonts-wine fonts-wqy-microhei
  g++-mingw-w64-x86-64 libgcrypt-mingw-w64-dev
  wine wine64 msitools wixl locales make tcl
  dpkg-dev file devscripts lintian systemd zip unzip
  clang libclang-rt-14-dev
  qemu-system-x86 busybox-static cpio kmod
  libsqlite3-dev libpq-dev postgresql chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows build compiles SQLite and libpq from Debian's own source packages
# (apt-get source): a deb-src twin of each of this machine's Debian 12 entries.
bash scripts/deb-src.sh

# Wine takes its code page from the locale: the Windows tests run a Chinese (936) and a
# Western (1252) station.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qix "$loc.utf-\?8"; then
    sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    generate=1
  fi
done
[ -z "${generate:-}" ] || locale-gen >/dev/null

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBINWRIGHT_WERROR=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
