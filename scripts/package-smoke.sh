#!/usr/bin/env bash
# Builds the Debian package as a distribution would (scripts/build-deb.sh, hardening
# flags), checks it (hardening-check, lintian, the dependencies against the libraries
# the programs link, the station unit with systemd-analyze verify and its exposure with
# systemd-analyze security), installs it on this machine (root) with apt-get, runs the
# installed command line on the simulated mouse and the example station config as the
# unit runs it, and removes it again.
# Usage: scripts/package-smoke.sh [BUILD_DIR]   (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-deb}
[ "$(id -u)" -eq 0 ] || { echo "package-smoke: needs root (apt-get install)" >&2; exit 1; }
fail() { echo "package-smoke: FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
BINWRIGHT_WERROR=${BINWRIGHT_WERROR:-ON} bash scripts/build-deb.sh "$build_dir" >"$work/deb" 2>"$work/build.log" ||
  { tail -n 40 "$work/build.log" >&2; fail "build-deb"; }
deb=$(cat "$work/deb")
echo "package-smoke: built $(basename "$deb")"
version=$(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)" = "$version" ] ||
  fail "packaging/debian/changelog has no entry for $version at the top"

# Hardening of every program, the packaged ones and the virtual mouse of the same build.
# Control-flow protection cannot be marked here: Debian 12's C start files lack it.
dpkg-deb -x "$deb" "$work/root"
hardening-check --nocfprotection "$work/root/usr/bin/binwright" "$work/root/usr/bin/binwright-gui" \
  "$build_dir/src/binwright-virtual-mouse" >"$work/hardening.txt" ||
  { cat "$work/hardening.txt" >&2; fail "hardening-check"; }
echo "package-smoke: hardening-check: PIE, stack protector, fortify, RELRO, BIND_NOW: ok"

# No error or warning (information tags are printed). An override, where one is ever
# needed, goes to packaging/debian/lintian-overrides with its reason on the line above.
lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 ||
  { cat "$work/lintian.txt" >&2; fail "lintian"; }
sed 's/^/  lintian: /' "$work/lintian.txt" | grep -v 'running with root privileges' || true
echo "package-smoke: lintian: no errors or warnings"

# Every library a packaged program links belongs to a package named in Depends.
depends=$(dpkg-deb -f "$deb" Depends)
echo "package-smoke: Depends: $depends"
checked=0
for elf in $(find "$work/root" -type f -perm -u+x); do
  file -b "$elf" | grep -q '^ELF' || continue
  for lib in $(objdump -p "$elf" | awk '/NEEDED/ {print $2}'); do
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ && !p {p = $NF} END {print p}')
    [ -n "$path" ] || fail "${elf#"$work/root"} needs $lib, which is not installed"
    # dpkg knows a library under the path its package ships (/lib or /usr/lib).
    owner=$(dpkg -S "$path" "$(realpath "$path")" 2>/dev/null | sed -n '1s/[:,].*//p' || true)
    echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -qx "$owner" ||
      fail "${elf#"$work/root"} needs $lib of $owner, which Depends does not name"
    checked=$((checked + 1))
  done
done
[ "$checked" -gt 0 ] || fail "no linked library found in the package's programs"
echo "package-smoke: the $checked libraries the programs link are all in Depends"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install"; }
trap 'apt-get remove -y -qq binwright >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

files=$(dpkg -L binwright)
for f in /usr/bin/binwright /usr/bin/binwright-gui /usr/lib/udev/rules.d/70-binwright.rules \
         /usr/lib/udev/rules.d/70-binwright-station.rules /usr/lib/systemd/system/binwright-station@.service \
         /usr/lib/sysusers.d/binwright.conf /etc/binwright/stations/example.conf.sample \
         /usr/share/applications/binwright.desktop /usr/share/man/man1/binwright.1.gz \
         /usr/share/man/man1/binwright-gui.1.gz /usr/share/doc/binwright/copyright \
         /usr/share/doc/binwright/changelog.gz /usr/share/icons/hicolor/128x128/apps/binwright.png; do
  echo "$files" | grep -qx "$f" || fail "$f is not in the package"
done
grep -q 'TAG+="uaccess"' /usr/lib/udev/rules.d/70-binwright.rules || fail "udev rule without uaccess"
grep -q 'GROUP="binwright", MODE="0660"' /usr/lib/udev/rules.d/70-binwright-station.rules ||
  fail "station udev rule without the group"

# The station: its account and group, a unit that verifies, the example config usable.
getent passwd binwright >/dev/null || fail "no user binwright after install"
getent group binwright >/dev/null || fail "no group binwright after install"
unit=/usr/lib/systemd/system/binwright-station@.service
systemd-analyze verify --man=no "$unit" || fail "systemd-analyze verify binwright-station@.service"
echo "package-smoke: binwright-station@.service verifies; user and group binwright exist"
# The sandbox: an exposure of 2.5 or below ("OK"), read from the unit file itself.
exposure=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1 |
  sed -n 's/^.*Overall exposure level for [^:]*: \([0-9.]*\).*$/\1/p')
[ -n "$exposure" ] || fail "systemd-analyze security gave no exposure level"
awk -v e="$exposure" 'BEGIN { exit !(e <= 2.5) }' ||
  fail "binwright-station@.service is exposed: $exposure (at most 2.5)"
echo "package-smoke: systemd-analyze security rates binwright-station@.service $exposure"

head -c 2048 /dev/urandom >"$work/image.bin"
(cd "$work" && /usr/bin/binwright --simulate=dump=out.bin write image.bin) || fail "installed binwright write"
cmp -s "$work/image.bin" "$work/out.bin" || fail "installed binwright wrote other bytes"
/usr/bin/binwright --version | grep -qx "binwright $version" || fail "installed binwright --version"
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/binwright-gui --version | grep -q '^binwright-gui ' ||
  fail "installed binwright-gui --version"

# The example config as the unit runs it, twice: its ExecStart line (instance "smoke"),
# its user, UMask, working folder and state and logs folders (STATE_DIRECTORY,
# LOGS_DIRECTORY), in a mount namespace of its own where everything else is read-only
# (ProtectSystem=strict) and those folders are fresh ones of this test, so nothing of a
# station on this machine is touched. The command line adds the simulated line. The
# second start goes on at the next numbers of the default ledger.
images=/etc/binwright/images
made_images=$([ -d "$images" ] || echo yes)
install -d -m 0755 "$images"
install -m 0644 "$work/image.bin" "$images/package-smoke.bin"
sed -e "s|^image = .*|image = $images/package-smoke.bin|" \
  -e "s|^log = .*|log = /var/log/binwright/package-smoke.csv|" \
  /etc/binwright/stations/example.conf.sample >/etc/binwright/stations/package-smoke.conf
made_folders=
trap 'rm -f "$images/package-smoke.bin" /etc/binwright/stations/package-smoke.conf
  [ -z "$made_images" ] || rmdir "$images" 2>/dev/null
  for folder in $made_folders; do rmdir "$folder" 2>/dev/null; done
  apt-get remove -y -qq binwright >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
exec_start=$(sed -n 's/^ExecStart=//p' "$unit" | sed 's/%i/package-smoke/g')
umask_value=$(sed -n 's/^UMask=//p' "$unit")
[ "$(sed -n 's/^StateDirectory=//p' "$unit")" = binwright ] || fail "StateDirectory is not binwright"
[ "$(sed -n 's/^LogsDirectory=//p' "$unit")" = binwright ] || fail "LogsDirectory is not binwright"
install -d -o binwright -g binwright -m 0750 "$work/state" "$work/logs"
# The mount points; made here only when missing (no station ran on this machine yet).
for folder in /var/lib/binwright /var/log/binwright; do
  [ -d "$folder" ] && continue
  install -d -o binwright -g binwright -m 0750 "$folder"
  made_folders="$made_folders $folder"
done
as_unit() {
  unshare --mount --propagation private sh -ec '
    mount --bind "$1/state" /var/lib/binwright
    mount --bind "$1/logs" /var/log/binwright
    mount -o remount,bind,ro /
    shift
    exec "$@"' sh "$work" setpriv --reuid=binwright --regid=binwright --init-groups \
    --no-new-privs env -i PATH=/usr/bin:/bin HOME=/var/lib/binwright \
    STATE_DIRECTORY=/var/lib/binwright LOGS_DIRECTORY=/var/log/binwright \
    sh -c "umask $umask_value; cd /var/lib/binwright && exec $exec_start --simulate=mice=2 --count 2 --interval-ms 1"
}
for start in 1 2; do
  out=$(as_unit 2>"$work/unit.err") || fail "the example config as the unit runs it: $out $(cat "$work/unit.err")"
  echo "$out" | grep -qx 'total 2 passed 2 failed 0' || fail "the example config run said: $out"
  numbers=$(echo "$out" | sed -n 's/^.*  SN \([0-9A-F]*\)  Write Pass  .*$/\1/p' | tr '\n' ' ')
  expected=$([ "$start" = 1 ] && echo "1 2 " || echo "3 4 ")
  [ "$numbers" = "$expected" ] || fail "start $start wrote SN $numbers, not $expected"
done
grep -q "ledger: /var/lib/binwright/ledger.db (the default" "$work/unit.err" ||
  fail "the default ledger was not named: $(cat "$work/unit.err")"
[ "$(stat -c %a "$work/state/ledger.db")" = 640 ] || fail "the ledger is not 0640 (UMask)"
[ "$(wc -l <"$work/logs/package-smoke.csv")" = 5 ] || fail "the log does not hold 4 rows"
echo "package-smoke: the example station config as the unit runs it writes two simulated mice" \
  "twice, SN 1 2 then 3 4 from its default ledger"
echo "package-smoke: installed, ran from /usr/bin and removed: ok"
