#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages a step needs, only those that are missing;
# apt-get through sudo when not root.
#
# usage: scripts/install-deps.sh [STEP | PACKAGE]...
#   STEP is one of the purposes below (./run.sh: build; ./test.sh: build test);
#   any other argument is a package name. Without arguments, every step's.
set -euo pipefail

# One list per purpose: a package goes where the step that uses it runs.
declare -A purposes=(
    # Building the libraries, quillon-cli, quillon and the manual pages, and
    # running quillon (its German messages come from the Qt translations).
    [build]="g++ cmake ninja-build pkg-config nlohmann-json3-dev qt6-base-dev qt6-translations-l10n scdoc"
    # The suite: GoogleTest, the test firmware (SDCC) and the simulated 8051
    # (s51), the HEX fuzzer (clang's libFuzzer), the manual pages through
    # groff, the bash completion, the desktop entry and the metainfo, the
    # licence check, gdb as the debugger's oracle, the DAP server's messages
    # against the protocol's schema.
    [test]="libgtest-dev libgmock-dev sdcc sdcc-ucsim clang libclang-rt-dev groff-base
            bash-completion desktop-file-utils appstream python3 gdb python3-jsonschema"
    # ./bench.sh: Google Benchmark, and the firmware its runs time.
    [bench]="libbenchmark-dev sdcc sdcc-ucsim"
    # scripts/screenshots.sh: a private X server, xdpyinfo, xdotool and
    # ImageMagick's import; rsvg-convert draws the icons' PNGs from quillon.svg.
    [screenshots]="xvfb xauth x11-utils imagemagick xdotool librsvg2-bin"
    # scripts/package.sh: dpkg-buildpackage with debhelper, then lintian.
    [packaging]="dpkg-dev debhelper lintian"
)

wanted=()
[ $# -gt 0 ] || set -- "${!purposes[@]}"
for arg in "$@"; do
    if [ -n "${purposes[$arg]+set}" ]; then
        # shellcheck disable=SC2206 # the lists are words without patterns
        wanted+=(${purposes[$arg]})
    else
        wanted+=("$arg")
    fi
done

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" &&
        [[ " ${missing[*]} " != *" $p "* ]]; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
