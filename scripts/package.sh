#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian packages libvandrel1, libvandrel-dev, quillon-cli and quillon
# from this working tree (the files git tracks or would track, changes included)
# in a copy under build-deb/ (or the folder given), and checks them with lintian:
# any error or warning fails, info and pedantic tags are listed.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-deb}")
scripts/install-deps.sh build packaging

# dpkg-buildpackage builds inside the source tree and writes the packages
# beside it, so it works on a copy of its own.
rm -rf "$out"
mkdir -p "$out/quillon"
git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$out/quillon" -xf -
# The four packages only: no -dbgsym packages beside them.
(cd "$out/quillon" && DEB_BUILD_OPTIONS="noautodbgsym ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b)

ls -1 "$out"/*.deb
lintian --fail-on error,warning --display-info --pedantic --tag-display-limit 0 "$out"/*.changes
echo "lintian: no error, no warning"
