#!/usr/bin/env bash
# Builds a Release tree without the tests into build-release/ (or the folder
# given) and makes the Debian package there: quillon_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB)
ls "$build"/quillon_*.deb
