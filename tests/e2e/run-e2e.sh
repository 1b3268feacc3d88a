#!/usr/bin/env bash
# End-to-end tests: boots a Debian kernel under QEMU and runs the real binwright
# (hidraw backend) against binwright-virtual-mouse, a USB gadget on dummy_hcd.
# Usage: tests/e2e/run-e2e.sh BUILD_DIR
# E2E_UDCS: USB device controllers of the guest's dummy_hcd, at most that many virtual
# mice at once (default 2).
# Exit: 0 every case that ran passed, 1 a case failed or the guest did not finish,
# 77 QEMU could not start here (skip, reason printed).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run-e2e.sh BUILD_DIR}" && pwd)
cache="$build/e2e-cache"
mkdir -p "$cache"

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

for bin in binwright binwright-virtual-mouse; do
  [ -x "$build/src/$bin" ] || fail "$build/src/$bin is not built"
done

# Tools: installed here when missing (Debian packages).
need=()
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
[ -x /bin/busybox ] && /bin/busybox --list 2>/dev/null | grep -qx insmod || need+=(busybox-static)
command -v cpio >/dev/null || need+=(cpio)
command -v depmod >/dev/null || need+=(kmod)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  if [ "$(id -u)" -ne 0 ]; then fail "missing ${need[*]}; install them (root needed)"; fi
  export DEBIAN_FRONTEND=noninteractive
  { apt-get install -y -qq --no-install-recommends "${need[@]}" ||
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}"; }; } \
    >"$cache/apt.log" 2>&1 || fail "could not install ${need[*]} (see $cache/apt.log)"
fi

# The kernel linux-image-amd64 depends on, unpacked beside the build.
kpkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[ -n "$kpkg" ] || { apt-get update -qq >/dev/null 2>&1;
  kpkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}'); }
[ -n "$kpkg" ] || fail "cannot tell which kernel package linux-image-amd64 depends on"
kver=${kpkg#linux-image-}
vmlinuz="$cache/vmlinuz-$kver"
modcache="$cache/modules-$kver"
if [ ! -f "$vmlinuz" ] || [ ! -s "$modcache/modules.order" ]; then
  echo "fetching $kpkg"
  kroot="$cache/$kpkg"
  rm -rf "$kroot" "$modcache" "$cache"/linux-image-*.deb
  (cd "$cache" && apt-get download "$kpkg" >"$cache/download.log" 2>&1) ||
    fail "apt-get download $kpkg failed (see $cache/download.log)"
  dpkg-deb -x "$cache/${kpkg}"_*.deb "$kroot" || fail "cannot unpack $kpkg"
  rm -f "$cache/${kpkg}"_*.deb
  depmod -b "$kroot" "$kver" || fail "depmod failed"
  # Only the modules the guest loads are kept, in dependency order.
  mkdir -p "$modcache"
  modules=(usbcore usbhid hid-generic udc-core dummy_hcd libcomposite usb_f_fs configfs
           virtio_pci 9pnet_virtio 9p)
  for m in "${modules[@]}"; do
    modprobe -d "$kroot" -S "$kver" --show-depends "$m" 2>/dev/null | awk '$1 == "insmod" {print $2}'
  done | awk '!seen[$0]++' | while read -r ko; do
    cp "$ko" "$modcache/"
    basename "$ko" >>"$modcache/modules.order"
  done
  cp "$kroot/boot/vmlinuz-$kver" "$vmlinuz"
  rm -rf "$kroot"
  [ -s "$modcache/modules.order" ] || fail "no modules found in $kpkg"
fi

# Initramfs: busybox, /dev/console, the modules, /init.
initrd="$cache/initrd-$kver.cpio.gz"
if [ ! -f "$initrd" ] || [ "$here/init.sh" -nt "$initrd" ] || [ "$modcache/modules.order" -nt "$initrd" ]; then
  stage=$(mktemp -d)
  mkdir -p "$stage"/{bin,dev,proc,sys,mnt/host,lib/modules}
  cp /bin/busybox "$stage/bin/busybox"
  mknod -m 600 "$stage/dev/console" c 5 1 || fail "mknod /dev/console needs root"
  cp "$modcache"/*.ko "$stage/lib/modules/"
  cp "$modcache/modules.order" "$stage/modules.order"
  cp "$here/init.sh" "$stage/init"
  chmod 755 "$stage/init"
  (cd "$stage" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.tmp" && mv "$initrd.tmp" "$initrd"
  rm -rf "$stage"
fi

log="$build/e2e-console.log"
echo "booting $kver under QEMU (tcg); console in $log"
timeout 600 qemu-system-x86_64 -accel tcg -m 512M -smp 1 -nographic -no-reboot \
  -kernel "$vmlinuz" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 e2e_build=$build e2e_dir=$here e2e_udcs=${E2E_UDCS:-2}" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on \
  -virtfs local,path="$here",mount_tag=e2edir,security_model=none,readonly=on \
  -virtfs local,path="$build",mount_tag=e2ebuild,security_model=none,readonly=on \
  -nic none </dev/null >"$log" 2>"$build/e2e-qemu.err"
qemu_rc=$?
tr -d '\r' <"$log" | grep -E '^(E2E|PASS|FAIL|NOT RUN|  )' | grep -v '^E2E-BOOT' || true

if ! grep -q 'E2E-BOOT' "$log"; then
  [ $qemu_rc -eq 124 ] && fail "the guest printed nothing within 600 s"
  skip "QEMU could not start here (exit $qemu_rc): $(head -c 400 "$build/e2e-qemu.err")"
fi
grep -q 'E2E-DONE' "$log" || fail "the guest did not finish (exit $qemu_rc); see $log"
passed=$(tr -d '\r' <"$log" | grep -c '^PASS ')
failed=$(tr -d '\r' <"$log" | grep -c '^FAIL ')
notrun=$(tr -d '\r' <"$log" | grep -c '^NOT RUN ')
echo "$passed passed, $failed failed, $notrun not run"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
