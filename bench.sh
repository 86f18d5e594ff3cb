#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds optimised into build-bench/ and runs the transfer benchmarks.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build bench
# Link-time optimisation lets the library's small per-access helpers inline
# across its files, as a release build of it should.
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON \
    -DQUILLON_TESTS=OFF -DQUILLON_FRONT=OFF -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON >/dev/null
cmake --build build-bench
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_STATE_HOME="$scratch/state"
for b in build-bench/bench/*; do
    [ -x "$b" ] && [ -f "$b" ] && "$b" "$@"
done
