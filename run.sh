#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds into build/ and starts quillon on the
# port-access layer's default back end (the simulated board on a machine
# without a parallel port).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF >/dev/null
cmake --build build

# A display the program can open: an X server that answers, Wayland, or a Qt
# platform chosen by hand (QT_QPA_PLATFORM=offscreen, vnc, ...).
have_display() {
    [ -n "${QT_QPA_PLATFORM:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
    [ -n "${DISPLAY:-}" ] || return 1
    ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1
}
if ! have_display; then
    echo "quillon: no display${DISPLAY:+ at $DISPLAY}; start one with 'Xvfb :1 & DISPLAY=:1 ./run.sh' (or use build/bin/quillon-cli)" >&2
    exit 1
fi
exec build/bin/quillon "$@"
