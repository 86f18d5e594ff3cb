#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Takes the README screenshots: runs quillon on the simulated board under a private
# X server, loads a sample image through the file dialog, opens the buffer view and
# the about box, then starts it once more with no reachable port. Writes
# start-simulated.png, file-dialog.png, main-window.png, buffer-view.png,
# about-box.png and start-no-board.png.
#
# usage: scripts/screenshots.sh [build-dir] [output-dir]
#        (defaults: build/ and docs/screenshots/)
#
# Nothing of the user's own settings or board RAM file is touched: the program gets a
# scratch config and state folder. Controls are found from the dialog-unit layout of the
# windows, scaled to their real size, so no window manager is needed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
program=$build/bin/quillon

die() {
    echo "screenshots: $*" >&2
    exit 1
}

[ -x "$program" ] || die "no $program; build it first (cmake --build ${build})"
for tool in Xvfb xdpyinfo xdotool import; do
    command -v "$tool" >/dev/null || die "$tool is missing; run scripts/install-deps.sh screenshots"
done
mkdir -p "$out"

scratch=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'echo "screenshots: failed at line $LINENO" >&2' ERR

# A display number that no X server holds yet.
display=
for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=:$n
        break
    fi
done
[ -n "$display" ] || die "no free X display between :90 and :199"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start: $(cat "$scratch/xvfb.log")"
    sleep 0.1
done
xdpyinfo -display "$display" >/dev/null 2>&1 || die "Xvfb on $display does not answer"

export DISPLAY=$display
export QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$scratch/runtime"
export DLPORTIO_BACKEND=sim
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

# The sample image: a line of text, the control bytes 00..0F (blanks in the character
# column), then every byte from 0x20 up, and text again up to 1000 bytes, so the last
# page is a short one.
image=$scratch/sample.rom
{
    printf '%-48s' 'vandrel 8051 RAM image -- Quillon screenshot.'
    for b in $(seq 0 15) $(seq 32 255); do printf "\\$(printf '%03o' "$b")"; done
    for _ in $(seq 30); do printf '%s' 'MOV A,#55h  LJMP 0030h  RETI  '; done
} >"$image.full"
head -c 1000 "$image.full" >"$image"

# Waits up to $2 seconds for a visible window of the program whose title matches $1.
wait_window() {
    local id
    for _ in $(seq $(($2 * 10))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || die "quillon ended while waiting for '$1'"
        sleep 0.1
    done
    return 1
}

wait_gone() {
    for _ in $(seq $(($2 * 10))); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Clicks at a point given in the dialog units of a window of $3 x $4 units.
click_du() {
    local win=$1 x=$2 y=$3 du_w=$4 du_h=$5 button=${6:-1}
    local WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(WIDTH|HEIGHT)=')"
    xdotool mousemove --window "$win" $((x * WIDTH / du_w)) $((y * HEIGHT / du_h))
    sleep 0.2
    xdotool click "$button"
}

# Lets the program paint before the window is grabbed.
settle() { sleep 0.7; }

# Started in the scratch folder, so that the file dialog opens beside the sample.
cd "$scratch"
"$program" >"$scratch/quillon.log" 2>&1 &
app_pid=$!

# The main window is 182 x 127 dialog units.
main=$(wait_window '^Quillon$' 20) || die "the main window did not appear"
settle
import -window "$main" "$out/start-simulated.png"

# "load file" (15, 13, 50 x 12), then the file name typed into the file dialog.
click_du "$main" 40 19 182 127
sleep 1
dialog=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$main" | tail -n 1 || true)
[ -n "$dialog" ] || die "the file-open dialog did not appear"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.3
settle
# Before typing: the name field's completion list is a window of its own.
import -window "$dialog" "$out/file-dialog.png"
xdotool type --delay 15 "$image"
xdotool key Return
wait_window '^sample\.rom$' 10 >/dev/null || die "loading $image did not change the title"
settle
import -window "$main" "$out/main-window.png"

# "view" (49, 89, 22 x 12).
click_du "$main" 60 95 182 127
view=$(wait_window '^BufferView$' 10) || die "the buffer view did not open"
settle
import -window "$view" "$out/buffer-view.png"
xdotool windowfocus --sync "$view" 2>/dev/null || true
xdotool key Escape
wait_gone '^BufferView$' 10 || die "the buffer view did not close on Escape"

# The about entry of the window's menu (right click on a free spot of the dialog
# background beside the delay field), chosen by its mnemonic.
click_du "$main" 174 50 182 127 3
sleep 0.5
xdotool key o
about=$(wait_window '^Info über Quillon$' 10) || die "the about box did not open"
settle
import -window "$about" "$out/about-box.png"
xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Return
wait_gone '^Info über Quillon$' 10 || die "the about box did not close on Enter"

# Once more with the ppdev back end, which on a machine without a parallel port
# reaches no board: the status line
# gives the port-access layer's reason.
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
DLPORTIO_BACKEND=ppdev "$program" >"$scratch/quillon-ppdev.log" 2>&1 &
app_pid=$!
main=$(wait_window '^Quillon$' 20) || die "the main window did not appear without a board"
settle
import -window "$main" "$out/start-no-board.png"

for shot in start-simulated file-dialog main-window buffer-view about-box start-no-board; do
    echo "$out/$shot.png: $(identify -format '%wx%h' "$out/$shot.png")"
done
