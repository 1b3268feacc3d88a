#!/usr/bin/env bash
# Runs the README's two set-up commands, each in a fresh Debian 12 root made by debootstrap
# (minimal variant, root, apt only), so that a missing install step shows up here before a
# new user meets it. The checkout's committed HEAD is cloned into each root.
# Needs root and the Debian mirror this machine's apt uses. Not run by CI (it takes a while).
# Usage: scripts/fresh-check.sh [WORK_DIR]   (default /var/tmp/binwright-fresh)
#        FRESH_CHECKS="test" scripts/fresh-check.sh   (only some: main-job, test)
# Exit: 0 both commands passed, 1 one failed (its log is named).
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD
work=${1:-/var/tmp/binwright-fresh}
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: needs root (debootstrap, chroot)" >&2; exit 1; }

if ! command -v debootstrap >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi
# The Debian mirror this machine's apt uses (a deb822 file, or the one-line list).
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] ||
  mirror=$(sed -n 's/^deb  *\(http[^ ]*\/debian\)  *bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || { echo "fresh-check: this machine's apt names no Debian mirror" >&2; exit 1; }

mkdir -p "$work"
base="$work/base"
if [ ! -x "$base/usr/bin/apt-get" ]; then
  echo "fresh-check: debootstrap bookworm from $mirror"
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
  # The same suites as this machine (updates and security), so package versions agree.
  [ -f /etc/apt/sources.list.d/debian.sources ] &&
    cp /etc/apt/sources.list.d/debian.sources "$base/etc/apt/sources.list.d/" &&
    rm -f "$base/etc/apt/sources.list"
fi

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

# Runs one README command in a copy of the base root; prints its time and result.
check() {
  local name=$1 command=$2 root="$work/$1"
  rm -rf "$root"
  cp -a "$base" "$root"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  git clone -q "$checkout" "$root/root/binwright"
  # The root a mount point of its own, as on a machine: a mount namespace inside (the
  # package smoke runs the station's unit that way) can then make it private.
  mount --bind "$root" "$root"
  mounted+=("$root")
  for m in proc sys dev dev/pts; do
    mkdir -p "$root/$m"
    case $m in
      proc) mount -t proc proc "$root/proc" ;;
      sys) mount -t sysfs sys "$root/sys" ;;
      dev) mount --bind /dev "$root/dev" ;;
      dev/pts) mount -t devpts devpts "$root/dev/pts" ;;
    esac
    mounted+=("$root/$m")
  done
  echo "fresh-check: $name: $command"
  local start=$SECONDS rc=0
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb \
    chroot "$root" bash -c "cd /root/binwright && $command" >"$work/$name.log" 2>&1 || rc=$?
  echo "fresh-check: $name: exit $rc after $((SECONDS - start)) s (log $work/$name.log)"
  cleanup
  mounted=()
  return "$rc"
}

status=0
checks=${FRESH_CHECKS:-main-job test}
if [[ " $checks " == *" main-job "* ]]; then
  check main-job 'bash scripts/setup.sh && bash scripts/main-job.sh' || status=1
fi
if [[ " $checks " == *" test "* ]]; then
  check test 'bash scripts/setup.sh && CI=true bash scripts/test.sh' || status=1
fi
exit "$status"
