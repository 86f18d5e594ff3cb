#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# quillon-cli against the real parallel-port drivers: boots Debian 12's kernel
# in QEMU with an ISA parallel port at 0x378 (nothing attached) and a serial
# port at 0x2F8, loads parport, parport_pc, ppdev and lp in turn, and checks
# the messages and exit codes of the real-port cases (scripts/kernel-test-cases.sh).
# A second boot has no parallel port and a kernel locked down on its command
# line. A third has a vandrel board behind the port (scripts/kernel-test-board.cpp,
# preloaded into QEMU): transfers go through the real ppdev and parport_pc to
# the board's RAM, which this script checks from the host side when the guest
# asks over its second serial port. Not part of ./test.sh: run it after changing
# the ppdev, direct I/O, port discovery or back-end selection code, or the
# transfers. Needs no KVM; takes a few minutes.
#
# Leaves the host as it was apart from qemu-system-x86 and busybox-static,
# which it installs when missing; the kernel is unpacked into the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(realpath -m "${KERNEL_TEST_DIR:-build-kernel-test}")
boots=" ${KERNEL_TEST_BOOTS:-port noport board} "  # which of the three boots run
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
# The board behind the third boot's port, for QEMU's own process.
c++ -std=c++20 -O2 -Wall -Wextra -shared -fPIC -o "$work/vandrel-board.so" \
    scripts/kernel-test-board.cpp -ldl

# The third boot's images, made here so that the host knows what must land.
files="$work/files"
rm -rf "$files"
mkdir -p "$files"
head -c 32768 /dev/urandom >"$files/seed.bin"   # the RAM the board starts with
head -c 32768 /dev/urandom >"$files/seed2.bin"  # seeded before the download
head -c 4096 /dev/urandom >"$files/u4k.bin"
head -c 4096 /dev/urandom >"$files/u4k2.bin"
head -c 32768 /dev/urandom >"$files/u32k.bin"
head -c 32768 /dev/urandom >"$files/u32k2.bin"
# An Intel HEX image with gaps: three records of 16 bytes, at 0x0000, 0x1000
# and 0x2FF0; the image runs to 0x2FFF with the gaps filled with FF.
ihex_record() {  # ihex_record ADDRESS HEXBYTES
    local address=$1 bytes=$2 sum i
    sum=$((${#bytes} / 2 + (address >> 8) + (address & 0xFF)))
    for ((i = 0; i < ${#bytes}; i += 2)); do sum=$((sum + 16#${bytes:i:2})); done
    printf ':%02X%04X00%s%02X\n' $((${#bytes} / 2)) "$address" "$bytes" $((-sum & 0xFF))
}
head -c 12288 /dev/zero | tr '\0' '\377' >"$files/gaps.expect"
: >"$files/gaps.ihx"
for address in 0 4096 12272; do
    bytes=$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n' | tr a-f A-F)
    ihex_record "$address" "$bytes" >>"$files/gaps.ihx"
    printf "$(sed 's/../\\x&/g' <<<"$bytes")" |
        dd of="$files/gaps.expect" bs=1 seek="$address" conv=notrunc status=none
done
echo ':00000001FF' >>"$files/gaps.ihx"

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
cp "$files"/{seed2.bin,u4k.bin,u4k2.bin,u32k.bin,u32k2.bin,gaps.ihx} "$root/"
cat >"$root/init" <<'EOF'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
chmod 1777 /tmp
sh /cases.sh "$(sed 's/.*kt=\([a-z]*\).*/\1/' /proc/cmdline)"
poweroff -f
EOF
chmod +x "$root/init" "$root/cases.sh"
(cd "$root" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$work/initramfs.gz"

boot() {  # boot NAME KERNEL-ARGUMENTS QEMU-DEVICES...; $preload: a library for QEMU
    local name=$1 args=$2
    shift 2
    LD_PRELOAD=${preload:-} timeout 900 qemu-system-x86_64 -nodefaults -no-user-config \
        -display none -no-reboot \
        -machine pc -m 512 -smp 1 -kernel "$vmlinuz" -initrd "$work/initramfs.gz" \
        -append "console=ttyS0 panic=-1 loglevel=3 kt=$name $args" -serial stdio "$@" \
        </dev/null | tr -d '\r' | tee "$work/$name.log" | grep '^KT' || true
}
: >"$work/results"
wants() { [[ $boots == *" $1 "* ]]; }
rm -f "$work"/{port,noport,board}.log
touch "$work"/{port,noport,board}.log
wants port && echo "== boot 1: ISA parallel port at 0x378, serial port at 0x2F8" &&
    boot port "" \
        -chardev null,id=lpt -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
        -chardev null,id=com2 -device isa-serial,chardev=com2,iobase=0x2f8,irq=3
wants noport && echo "== boot 2: no parallel port, kernel locked down (integrity)" &&
    boot noport "lockdown=integrity"

# The board's state as the model keeps it: 32768 bytes of RAM, then its
# counters (data writes, status reads, data reads, stores, writes and stores
# while the board was not held) and the byte of pins a short holds low.
state="$work/board.state"
counters() { od -An -t u8 -j 32768 -N 48 "$state" | tr -s ' \n' ' '; }
# The host's side of the third boot: one request a line from the guest's
# second serial port, one answer a line back.
host_checks() {
    local request name file size before start differ now elapsed
    exec 3<"$work/ctl.out" 4>"$work/ctl.in"
    while read -r request name file <&3; do
        case $request in
        seed)  # seed FILE: the RAM holds FILE from now; a snapshot
            dd if="$files/$name" of="$state" bs=32768 count=1 conv=notrunc status=none
            ;&
        snapshot)  # the RAM and the counters as they are, and the time
            head -c 32768 "$state" >"$work/before.ram"
            read -ra before <<<"$(counters)"
            start=$(date +%s.%N)
            echo ok >&4
            ;;
        same)  # same NAME: the RAM as at the snapshot
            if cmp -s -n 32768 "$state" "$work/before.ram"; then
                echo "KT PASS $name" >&4
            else
                echo "KT FAIL $name: $(cmp -l -n 32768 "$state" "$work/before.ram" | wc -l) bytes changed" >&4
            fi
            ;;
        lands)  # lands NAME FILE: FILE from address 0, the rest as at the snapshot, nothing stored while the board ran
            size=$(stat -c %s "$files/$file")
            read -ra now <<<"$(counters)"
            differ=$(cmp -l -n "$size" "$state" "$files/$file" | wc -l)
            differ_rest=$(cmp -l -i "$size:$size" -n $((32768 - size)) "$state" "$work/before.ram" | wc -l)
            if [ "$differ" = 0 ] && [ "$differ_rest" = 0 ] && [ "${now[5]}" = "${before[5]}" ]; then
                echo "KT PASS $name ($size bytes, $((now[3] - before[3])) stores)" >&4
            else
                echo "KT FAIL $name: $differ of $size bytes wrong, $differ_rest changed beyond, $((now[5] - before[5])) stores while the board ran" >&4
            fi
            ;;
        figures)  # figures NAME: time and port accesses since the snapshot
            read -ra now <<<"$(counters)"
            elapsed=$(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start }")
            echo "KT INFO $name: $elapsed s, $((now[0] - before[0])) data writes, $((now[1] - before[1])) status reads reached the port" >&4
            ;;
        probe)  # probe NAME: what reached the board since the snapshot while it was not held
            read -ra now <<<"$(counters)"
            echo "KT INFO $name: $((now[0] - before[0])) data writes, $((now[4] - before[4])) of them with the board not held, $((now[5] - before[5])) stores into its RAM while it ran" >&4
            ;;
        fault)  # fault HEX: pins held low from now
            printf "\\x$name" | dd of="$state" bs=1 seek=$((32768 + 48)) conv=notrunc status=none
            echo ok >&4
            ;;
        *) echo "KT FAIL host: unknown request '$request'" >&4 ;;
        esac
    done
}
wants board && echo "== boot 3: a vandrel board behind the ISA parallel port at 0x378"
cp "$files/seed.bin" "$state"
head -c 64 /dev/zero >>"$state"
: >"$work/board-port"
rm -f "$work"/ctl.{in,out}
mkfifo "$work/ctl.in" "$work/ctl.out"
if wants board; then
    host_checks &
    checker=$!
    preload="$work/vandrel-board.so" VANDREL_BOARD_FILE="$work/board-port" \
        VANDREL_BOARD_STATE="$state" boot board "" \
        -chardev parallel,id=lpt,path="$work/board-port" \
        -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
        -chardev pipe,id=ctl,path="$work/ctl" -device isa-serial,chardev=ctl,iobase=0x2f8,irq=3
    kill "$checker" 2>/dev/null || true
fi

cat "$work"/port.log "$work"/noport.log "$work"/board.log | grep -E '^KT (PASS|FAIL|INFO) ' >"$work/results" || true
passed=$(grep -c '^KT PASS' "$work/results" || true)
failed=$(grep -c '^KT FAIL' "$work/results" || true)
grep '^KT INFO' "$work/results" || true
echo "== kernel $release: $passed passed, $failed failed"
grep '^KT FAIL' "$work/results" || true
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
