#!/usr/bin/env bash
# Builds the libraries the Windows build needs and Debian packages only for Linux, from
# Debian's own source packages (apt-get source; scripts/deb-src.sh adds the source entry):
#   SQLite: the amalgamation sqlite3.c/sqlite3.h, which the build compiles itself;
#   libpq: PostgreSQL's client library for x86_64-w64-mingw32, static, without TLS.
# Once per folder: a later call finds PREFIX/.built and does nothing.
# Usage: scripts/windows-deps.sh FOLDER     (PREFIX is FOLDER/prefix)
set -euo pipefail
folder=$(realpath -m "${1:?usage: windows-deps.sh FOLDER}")
prefix="$folder/prefix"
[ -f "$prefix/.built" ] && exit 0
host=x86_64-w64-mingw32
jobs=${BUILD_JOBS:-$(nproc)}
cc="$host-gcc-posix"
command -v ccache >/dev/null && cc="ccache $cc"
mkdir -p "$folder/src" "$prefix/include" "$prefix/lib"
log="$folder/build.log"
: >"$log"
step() { echo "windows-deps: $*"; }
quietly() { "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "windows-deps: failed: $*" >&2; exit 1; }; }

# The source package's folder, fetched once. The version of the Linux library comes first
# (the two builds then speak the same protocol), then the others the sources offer.
fetch() {
  local package=$1 installed=$2 dir
  dir=$(find "$folder/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
  if [ -z "$dir" ]; then
    local versions
    versions=$( (dpkg-query -W -f='${Version}\n' "$installed" 2>/dev/null || true
                 apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV) | awk 'NF && !seen[$0]++')
    for v in $versions; do
      (cd "$folder/src" && apt-get source -qq "$package=$v" >>"$log" 2>&1) && break
    done
    dir=$(find "$folder/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    [ -n "$dir" ] || { tail -n 20 "$log" >&2; echo "windows-deps: apt-get source $package failed (scripts/deb-src.sh adds the source entry)" >&2; exit 1; }
  fi
  echo "$dir"
}

step "SQLite amalgamation from the source package sqlite3"
sqlite=$(fetch sqlite3 libsqlite3-dev)
mkdir -p "$folder/sqlite-build"
(cd "$folder/sqlite-build" && quietly "$sqlite/configure" --disable-tcl && quietly make sqlite3.c)
cp "$folder/sqlite-build/sqlite3.c" "$folder/sqlite-build/sqlite3.h" "$prefix/include/"

step "libpq for $host from the source package postgresql-15"
pg=$(fetch postgresql-15 libpq-dev)
mkdir -p "$folder/pg-build"
cd "$folder/pg-build"
quietly "$pg/configure" --host=$host CC="$cc" --without-readline --without-zlib --without-icu \
  --without-openssl --without-gssapi --without-ldap --without-lz4 --without-zstd --disable-nls
# Only what libpq is made of: the port and common libraries in their client flavour and the
# library's own objects, archived for static linking (PostgreSQL's libpq.a for this host is
# the DLL's import library).
quietly make -C src/include
quietly make -C src/port -j"$jobs" libpgport_shlib.a
quietly make -C src/common -j"$jobs" libpgcommon_shlib.a
objects=$(make -s -C src/interfaces/libpq -pn 2>/dev/null | sed -n 's/^OBJS = \$(WIN32RES) //p' | head -n 1)
[ -n "$objects" ] || { echo "windows-deps: cannot read libpq's object list" >&2; exit 1; }
# shellcheck disable=SC2086
quietly make -C src/interfaces/libpq -j"$jobs" $objects
rm -f "$prefix/lib/libpq.a"
(cd src/interfaces/libpq && quietly "$host-ar" rcs "$prefix/lib/libpq.a" $objects)
# libpq brings its own small pthread for Windows (its own types); the program links
# winpthreads for std::thread. libpq's names for its own are renamed in all its objects.
for f in pthread_self pthread_setspecific pthread_getspecific pthread_mutex_init \
  pthread_mutex_lock pthread_mutex_unlock; do echo "$f pq_$f"; done >"$folder/pq-pthread.syms"
quietly "$host-objcopy" --redefine-syms="$folder/pq-pthread.syms" "$prefix/lib/libpq.a"
cp src/common/libpgcommon_shlib.a "$prefix/lib/libpgcommon.a"
cp src/port/libpgport_shlib.a "$prefix/lib/libpgport.a"
cp "$pg/src/interfaces/libpq/libpq-fe.h" "$pg/src/include/postgres_ext.h" \
  src/include/pg_config_ext.h "$prefix/include/"
touch "$prefix/.built"
step "built into $prefix"
