#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts quillon on the
# port-access layer's default back end (the simulated board on a machine
# without a parallel port).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF >/dev/null
cmake --build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "quillon: no display; start one (e.g. 'Xvfb :1 & DISPLAY=:1 ./run.sh') or use build/bin/quillon-cli" >&2
    exit 1
fi
exec build/bin/quillon "$@"
