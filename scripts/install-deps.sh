#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages that building, running and testing need, and
# those named as arguments, only those that are missing; apt-get through sudo
# when not root.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
    qt6-base-dev qt6-translations-l10n
    xvfb xauth x11-utils imagemagick librsvg2-bin xdotool
    sdcc sdcc-ucsim
    clang libclang-rt-dev
    strace
    scdoc groff-base bash-completion desktop-file-utils appstream dpkg-dev file python3
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
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
