#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# quillon-cli against the real parallel-port drivers: boots Debian 12's kernel
# in QEMU with an ISA parallel port at 0x378 (nothing attached) and a serial
# port at 0x2F8, loads parport, parport_pc, ppdev and lp in turn, and checks
# the messages and exit codes of the real-port cases (scripts/kernel-test-cases.sh).
# A second boot has no parallel port and a kernel locked down on its command
# line. Not part of ./test.sh: run it after changing the ppdev, direct I/O,
# port discovery or back-end selection code. Needs no KVM; takes a few minutes.
#
# Leaves the host as it was apart from qemu-system-x86 and busybox-static,
# which it installs when missing; the kernel is unpacked into the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(realpath -m "${KERNEL_TEST_DIR:-build-kernel-test}")
mkdir -p "$work"

packages=()
command -v qemu-system-x86_64 >/dev/null || packages+=(qemu-system-x86)
[ -x /bin/busybox ] || packages+=(busybox-static)
if [ ${#packages[@]} -gt 0 ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get install -y -q "${packages[@]}" >"$work/apt.log"
fi

# The newest Debian 12 kernel package the archive offers, unpacked, not installed.
if [ ! -d "$work/kernel/boot" ]; then
    image=$(apt-cache search --names-only '^linux-image-6\.1\.0-[0-9]+-amd64$' | cut -d' ' -f1 |
        sort -V | tail -n 1)
    [ -n "$image" ] || { echo "kernel-test: no linux-image-6.1.0-*-amd64 in the apt lists (apt-get update?)" >&2; exit 1; }
    (cd "$work" && rm -f linux-image-*.deb && apt-get download "$image" >/dev/null 2>&1)
    dpkg -x "$work"/linux-image-*.deb "$work/kernel"
fi
vmlinuz=$(ls "$work"/kernel/boot/vmlinuz-*)
release=${vmlinuz##*/vmlinuz-}
modules="$work/kernel/lib/modules/$release/kernel"

# quillon-cli without sanitizers, as a user would install it.
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF \
    -DQUILLON_FRONT=OFF >/dev/null
cmake --build "$work/build" --target quillon-cli >/dev/null
cli="$work/build/bin/quillon-cli"

# A busybox initramfs: the program, the shared libraries it loads, four modules.
root="$work/initramfs"
rm -rf "$root"
mkdir -p "$root"/{bin,sbin,proc,sys,dev,tmp,root,lib/modules,etc}
cp /bin/busybox "$root/bin/"
for tool in $(/bin/busybox --list | grep -vx busybox); do ln -sf busybox "$root/bin/$tool"; done
cp "$cli" "$root/bin/quillon-cli"
ldd "$cli" | grep -o '/[^ ]*' | while read -r lib; do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
done
for module in parport/parport parport/parport_pc; do
    cp "$modules/drivers/$module.ko" "$root/lib/modules/"
done
cp "$modules/drivers/char/ppdev.ko" "$modules/drivers/char/lp.ko" "$root/lib/modules/"
echo 'root:x:0:0:root:/root:/bin/sh' >"$root/etc/passwd"
echo 'user:x:1000:1000:user:/tmp:/bin/sh' >>"$root/etc/passwd"
cp scripts/kernel-test-cases.sh "$root/cases.sh"
cat >"$root/init" <<'EOF'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
sh /cases.sh "$(sed 's/.*kt=\([a-z]*\).*/\1/' /proc/cmdline)"
poweroff -f
EOF
chmod +x "$root/init" "$root/cases.sh"
(cd "$root" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$work/initramfs.gz"

boot() {  # boot NAME KERNEL-ARGUMENTS QEMU-DEVICES...
    local name=$1 args=$2
    shift 2
    timeout 900 qemu-system-x86_64 -nodefaults -no-user-config -display none -no-reboot \
        -machine pc -m 512 -smp 1 -kernel "$vmlinuz" -initrd "$work/initramfs.gz" \
        -append "console=ttyS0 panic=-1 loglevel=3 kt=$name $args" -serial stdio "$@" \
        </dev/null | tr -d '\r' | tee "$work/$name.log" | grep '^KT' || true
}
: >"$work/results"
echo "== boot 1: ISA parallel port at 0x378, serial port at 0x2F8"
boot port "" \
    -chardev null,id=lpt -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
    -chardev null,id=com2 -device isa-serial,chardev=com2,iobase=0x2f8,irq=3
echo "== boot 2: no parallel port, kernel locked down (integrity)"
boot noport "lockdown=integrity"

cat "$work"/port.log "$work"/noport.log | grep -E '^KT (PASS|FAIL) ' >"$work/results" || true
passed=$(grep -c '^KT PASS' "$work/results" || true)
failed=$(grep -c '^KT FAIL' "$work/results" || true)
echo "== kernel $release: $passed passed, $failed failed"
grep '^KT FAIL' "$work/results" || true
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
