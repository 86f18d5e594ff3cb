#!/bin/sh
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# The guest side of scripts/kernel-test.sh (busybox sh, as root): one line
# "KT PASS name" or "KT FAIL name ..." per case. $1 is the boot: "port" (an
# ISA parallel port at 0x378 with nothing attached, a serial port at 0x2F8),
# "noport" (no parallel port, kernel locked down on its command line) or
# "board" (a vandrel board behind the port at 0x378, the host on ttyS1).
export HOME=/root XDG_CONFIG_HOME=/tmp/config XDG_STATE_HOME=/tmp/state PATH=/bin:/sbin
mkdir -p /tmp/config /tmp/state
M=/lib/modules

# check NAME EXIT-CODE TEXT [--not TEXT]... -- COMMAND...: runs the command
# and wants that exit code, TEXT in its output and none of the --not texts.
check() {
    name=$1 want_rc=$2 want=$3
    shift 3
    nots=""
    while [ "$1" = --not ]; do
        nots="$nots$2
"
        shift 2
    done
    shift
    out=$("$@" 2>&1)
    rc=$?
    verdict=PASS
    [ "$rc" = "$want_rc" ] || verdict=FAIL
    [ -z "$want" ] || printf '%s' "$out" | grep -qF -- "$want" || verdict=FAIL
    printf '%s' "$nots" | while IFS= read -r not; do
        [ -z "$not" ] || ! printf '%s' "$out" | grep -qF -- "$not" || echo x
    done | grep -q x && verdict=FAIL
    if [ $verdict = PASS ]; then
        echo "KT PASS $name"
    else
        echo "KT FAIL $name: exit $rc (want $want_rc), want '$want'"
    fi
    printf '%s\n' "$out" | sed 's/^/KT   | /'
}

q=quillon-cli
case "$1" in
port)
    check no_driver 4 "the kernel's driver for it is not loaded (run 'sudo modprobe -a parport_pc ppdev'" \
        -- $q probe
    insmod $M/parport.ko
    insmod $M/parport_pc.ko
    check parport_pc_only 4 "load the ppdev driver with 'sudo modprobe ppdev'" \
        --not "parport_pc ppdev" -- $q probe
    insmod $M/ppdev.ko
    sleep 1
    check probe_empty_port 4 "no board answers at 0x378 (the data input reads all ones)" -- $q probe
    check download_warns 0 "warning: no board answers at 0x378: every byte read back FF (check the cable and the board's power, or a larger delay than 1: quillon-cli calibrate)" \
        -- $q --delay 1 download 64 /tmp/d.bin
    check download_keeps_bytes 0 "64" -- sh -c "wc -c </tmp/d.bin"
    head -c 64 /dev/urandom >/tmp/u.bin
    check upload_exit_4 4 "no board answers at 0x378: every byte read back FF" \
        --not "verify failed" -- $q --delay 1 upload /tmp/u.bin
    check upload_no_verify_exit_4 4 "no board answers at 0x378: every byte read back FF" \
        -- $q --delay 1 upload --no-verify /tmp/u.bin
    start=$(date +%s)
    check calibrate_gives_up 4 "no board answers at 0x378: every byte read back FF at delays 1 to" \
        -- $q calibrate --save
    took=$(($(date +%s) - start))
    if [ $took -le 30 ]; then echo "KT PASS calibrate_within_30s ($took s)"; else echo "KT FAIL calibrate_within_30s: $took s"; fi
    # Killed before it ends: only lines written as they came reach the pipe.
    check calibrate_lines_through_a_pipe 0 "delay 1: 256 of 256 bytes wrong" \
        -- sh -c "timeout -s KILL 8 $q calibrate 2>/dev/null | head -n 1"
    check calibrate_saved_nothing 0 "" -- sh -c "! grep -qs Delay /tmp/config/quillon.INI"
    check missing_port 4 "no parallel port at 0x278; the machine has parport0 at 0x378" \
        -- $q --port 0 probe
    check missing_device 4 "no such port: the machine has parport0 at 0x378" --not modprobe \
        -- env DLPORTIO_DEVICE=/dev/parport1 $q probe
    $q --delay 255 download 32768 /tmp/hold.bin >/dev/null 2>&1 &
    holder=$!
    sleep 3
    check two_programs 4 "another program holds the port (ppdev0)" -- $q probe
    kill $holder
    wait $holder
    insmod $M/lp.ko
    check lp_refused 4 "the printer driver lp is registered on it: unload it with 'sudo rmmod lp'" \
        --not "unload that driver" -- $q probe
    check lp_boot_advice 4 "blacklist lp" -- $q probe
    rmmod lp
    check no_exclusive_errors_in_kernel_log 0 "" \
        -- sh -c "! dmesg | grep -E 'cannot grant exclusive|failed to register'"
    export DLPORTIO_BACKEND=direct
    check direct_root 4 "no board answers at 0x378 (the data input reads all ones)" -- $q probe
    check direct_claims_the_port 4 "direct I/O at 0x378, /dev/parport0 claimed for this program alone" \
        -- $q probe
    DLPORTIO_BACKEND=ppdev $q --delay 255 download 32768 /tmp/hold.bin >/dev/null 2>&1 &
    holder=$!
    sleep 3
    check direct_beside_ppdev 4 "direct: cannot claim /dev/parport0: another program holds the port (ppdev0)" \
        -- $q probe
    kill $holder
    wait $holder
    $q --delay 255 download 32768 /tmp/hold.bin >/dev/null 2>&1 &
    holder=$!
    sleep 3
    check ppdev_beside_direct 4 "another program holds the port (ppdev0)" \
        -- env DLPORTIO_BACKEND=ppdev $q probe
    kill $holder
    wait $holder
    check no_exclusive_errors_after_direct 0 "" \
        -- sh -c "! dmesg | grep -E 'cannot grant exclusive|failed to register'"
    check direct_user 4 "direct I/O needs root or CAP_SYS_RAWIO" \
        -- su user -s /bin/sh -c "$q probe"
    check direct_no_port 4 "no parallel port at 0x278: its data register does not keep" \
        -- $q --port 0 probe
    check direct_serial_port 4 "no board can be reached at 0x2F8: direct: 0x2F8 belongs to the kernel driver 'serial'" \
        -- env DLPORTIO_BASE=0x2F8 $q probe
    check direct_names_the_address_used 4 "no board answers at 0x378 (" --not "answers at 0x278" \
        -- env DLPORTIO_BASE=0x378 $q --port 0 probe
    unset DLPORTIO_BACKEND
    ;;
board)
    # The host checks the board's RAM and counts its accesses when asked here.
    stty -F /dev/ttyS1 raw -echo
    exec 5<>/dev/ttyS1
    host() {  # host REQUEST...: the host's answer, a KT line or "ok"
        echo "$*" >&5
        IFS= read -r answer <&5
        [ "$answer" = ok ] || echo "$answer"
    }
    insmod $M/parport.ko
    host snapshot
    insmod $M/parport_pc.ko
    host probe parport_pc_probe_while_the_board_runs
    insmod $M/ppdev.ko
    sleep 1
    host seed seed.bin
    check probe_finds_the_board 0 "board answers at 0x378" -- $q --delay 1 probe
    host same probe_leaves_the_ram_as_it_was
    host snapshot
    check upload_4k 0 "verified 4096 bytes" -- $q --delay 1 upload /u4k.bin
    host lands upload_4k_lands u4k.bin
    host snapshot
    check upload_32k 0 "write 32768 to RAM" -- $q --delay 1 upload --no-verify --no-reset /u32k.bin
    host figures upload_32k_delay_1
    host lands upload_32k_lands u32k.bin
    check verify_32k 0 "verified 32768 bytes" -- $q --delay 1 verify /u32k.bin
    host seed seed2.bin
    check download_32k 0 "read 32768 from RAM" -- $q --delay 1 download --no-reset 32768 /tmp/d.bin
    host figures download_32k_delay_1
    check download_is_the_ram_the_host_seeded 0 "" -- cmp /tmp/d.bin /seed2.bin
    host snapshot
    check hex_with_gaps 0 "verified 12288 bytes" -- $q --delay 1 upload /gaps.ihx
    host lands hex_lands_at_its_addresses gaps.expect
    check calibrate 0 "delay 1: intact in 3 rounds" -- $q calibrate
    check linetest 0 "lines back at idle" --not "does not follow" -- $q linetest --hold 0
    echo 'lp:x:7:user' >/etc/group
    chgrp 7 /dev/parport0
    chmod 660 /dev/parport0
    host snapshot
    check user_in_group_lp_uploads 0 "verified 4096 bytes" \
        -- su user -s /bin/sh -c "XDG_CONFIG_HOME=/tmp/u XDG_STATE_HOME=/tmp/u $q --delay 1 upload /u4k2.bin"
    host lands user_upload_lands u4k2.bin
    # Two programs on the port: the second is refused, and the first's upload lands whole.
    host snapshot
    $q --delay 1 upload --no-reset /u32k.bin >/tmp/first.log 2>&1 &
    first=$!
    sleep 2
    check direct_beside_a_ppdev_upload 4 "another program holds the port (ppdev0)" \
        -- env DLPORTIO_BACKEND=direct $q --delay 1 upload /u32k2.bin
    wait $first
    check first_upload_ends 0 "verified 32768 bytes" -- sh -c "cat /tmp/first.log; exit $?"
    host lands ppdev_upload_beside_direct_intact u32k.bin
    host snapshot
    DLPORTIO_BACKEND=direct $q --delay 1 upload --no-reset /u32k2.bin >/tmp/first.log 2>&1 &
    first=$!
    sleep 2
    check ppdev_beside_a_direct_upload 4 "another program holds the port (ppdev0)" \
        -- $q --delay 1 upload /u32k.bin
    wait $first
    check direct_upload_ends 0 "verified 32768 bytes" -- sh -c "cat /tmp/first.log; exit $?"
    host lands direct_upload_beside_ppdev_intact u32k2.bin
    # A short holds the high-address strobe (pin 7) low: the test must see it.
    host fault 20
    check stuck_line_upload_exit_3 3 "verify failed" -- $q --delay 1 upload /u4k.bin
    check stuck_line_named 4 "pin 7 (high-address strobe) does not follow: driven high, it reads back low" \
        -- $q linetest --hold 0
    host fault 00
    ;;
noport)
    export DLPORTIO_BACKEND=direct
    check locked_down_no_securityfs 4 "ioperm refused even to root (Operation not permitted): the kernel may be locked down" \
        --not "needs root" --not "Secure Boot" -- $q probe
    mount -t securityfs securityfs /sys/kernel/security
    check locked_down_integrity 4 "the kernel is locked down (integrity), which refuses port I/O" \
        --not "Secure Boot" --not "needs root" -- $q probe
    export DLPORTIO_BACKEND=ppdev
    check no_port_no_driver 4 "load the drivers with 'sudo modprobe -a parport_pc ppdev'" -- $q probe
    insmod $M/parport.ko
    insmod $M/parport_pc.ko
    insmod $M/ppdev.ko
    check no_port_drivers_loaded 4 "parport_pc is loaded but found no port" --not modprobe \
        -- $q probe
    check no_port_device_asked_for 4 "parport_pc is loaded but found no port" --not modprobe \
        -- env DLPORTIO_DEVICE=/dev/parport0 $q probe
    ;;
esac
