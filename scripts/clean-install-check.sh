#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs quillon-cli and libvandrel1 from build-deb/ (or the folder given, as
# scripts/package.sh leaves it) into a clean Debian 12 made with mmdebstrap, and
# reports what that pulls in (no Qt package may be among it), moves 4 KB to the
# simulated board and back, purges both and lists anything left behind. Needs
# root and the Debian mirror apt uses here.
set -euo pipefail
cd "$(dirname "$0")/.."
debs=$(realpath "${1:-build-deb}")
scripts/install-deps.sh mmdebstrap
mirror=$(apt-get indextargets --format '$(REPO_URI)' 'Codename: bookworm' 'Label: Debian' |
    head -n 1)
mirror=${mirror:-http://deb.debian.org/debian/}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$debs"/quillon-cli_*.deb "$debs"/libvandrel1_*.deb "$work"/
# mmdebstrap's copy-in takes names, not patterns.
copy_in=$(echo "$work"/check.sh "$work"/*.deb)

# Runs inside the new system, as its root.
cat >"$work/check.sh" <<'CHECK'
set -eu
export DEBIAN_FRONTEND=noninteractive HOME=/tmp/home LC_ALL=C.UTF-8
cd /tmp
mkdir -p "$HOME"
packages() { dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | sort; }
files() {
    find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
        -o -path /var/cache -o -path /var/lib/apt -o -path /var/log -o -path /var/lib/dpkg \) \
        -prune -o -print | sort
}
packages >before.packages
files >before.files

# With its Recommends, as apt installs by default.
apt-get install -y -o APT::Install-Recommends=true ./quillon-cli_*.deb ./libvandrel1_*.deb >install.log
packages >installed.packages
comm -13 before.packages installed.packages | awk '{print $2}' >pulled
echo "pulled $(wc -l <pulled) packages: $(tr '\n' ' ' <pulled)"
grep -E '^(Need to get|After this operation)' install.log
if grep -Ei '(^|lib)qt|qt6|qt5' pulled; then
    echo "FAIL: Qt packages pulled"
    exit 1
fi

head -c 4096 /dev/urandom >image.bin
export DLPORTIO_BACKEND=sim DLPORTIO_SIM_RAM=/tmp/board.ram
quillon-cli upload image.bin
quillon-cli download 4096 back.bin
cmp image.bin back.bin
echo "round trip: 4096 bytes back as sent"

apt-get purge -y quillon-cli libvandrel1 >/dev/null
apt-get autoremove --purge -y >/dev/null
packages >purged.packages
files >purged.files
if cmp -s before.packages purged.packages && cmp -s before.files purged.files; then
    echo "purge: nothing left behind"
else
    echo "FAIL: left behind after purge:"
    diff before.packages purged.packages || true
    diff before.files purged.files || true
    exit 1
fi
CHECK

mmdebstrap --variant=apt --quiet \
    --customize-hook="copy-in $copy_in /tmp" \
    --customize-hook='chroot "$1" sh /tmp/check.sh' \
    bookworm "$work/root" "$mirror"
