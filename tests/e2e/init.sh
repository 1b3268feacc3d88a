#!/bin/busybox sh
# /init of the test guest: no udev, so mounts and modules by hand, then the
# host's / (virtio-9p, read-only) as root for the host-built binaries.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo E2E-BOOT
udcs=2
for arg in $(cat /proc/cmdline); do
  case $arg in
    e2e_build=*) build=${arg#e2e_build=} ;;
    e2e_dir=*) dir=${arg#e2e_dir=} ;;
    e2e_udcs=*) udcs=${arg#e2e_udcs=} ;;
  esac
done
# dummy_hcd with several controllers: one virtual mouse per controller.
for ko in $(cat /modules.order); do
  params=
  [ "$ko" = dummy_hcd.ko ] && params="num=$udcs"
  insmod /lib/modules/$ko $params 2>/dev/null || echo "E2E: insmod $ko $params failed"
done
mount -t configfs none /sys/kernel/config
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 hostroot /mnt/host; then
  mount -t tmpfs tmpfs /mnt/host/tmp
  mount -t tmpfs tmpfs /mnt/host/run
  mount --bind /proc /mnt/host/proc
  mount --bind /sys /mnt/host/sys
  mount --bind /sys/kernel/config /mnt/host/sys/kernel/config
  mount --bind /dev /mnt/host/dev
  # The checkout and the build may live under /tmp, which the guest's own tmpfs hides:
  # mount both again at their own paths.
  for share in e2edir:$dir e2ebuild:$build; do
    mkdir -p "/mnt/host${share#*:}" 2>/dev/null
    mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 "${share%%:*}" \
      "/mnt/host${share#*:}" || echo "FAIL boot: cannot mount ${share#*:} over virtio-9p"
  done
  chroot /mnt/host /bin/bash "$dir/guest-cases.sh" "$build"
else
  echo "FAIL boot: cannot mount the host's root over virtio-9p"
fi
echo E2E-DONE
poweroff -f
