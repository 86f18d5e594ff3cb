#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-test/ and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON >/dev/null
cmake --build build-test

# Tests never touch the user's own settings, board RAM file or logs.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# The Intel HEX codec takes files from anywhere: fuzz it briefly where clang is
# at hand, built by clang in a tree of its own.
if command -v clang++ >/dev/null; then
    fuzz=build-test/fuzz
    cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_FRONT=OFF \
        >/dev/null
    cmake --build "$fuzz" --target ihex_fuzz
    mkdir -p "$fuzz/corpus"
    "$fuzz/bin/ihex_fuzz" -max_total_time=20 -print_final_stats=0 \
        -artifact_prefix="$fuzz/" "$fuzz/corpus" ihex/fuzz/corpus 2>"$fuzz/log" \
        || { tail -n 40 "$fuzz/log" >&2; exit 1; }
    echo "ihex fuzz: no crash in $(grep -o 'Done [0-9]* runs' "$fuzz/log" || echo '? runs')"
fi

# A hung test fails after five minutes instead of holding CI to its limit.
ctest --test-dir build-test --output-on-failure --timeout 300 -j"$(nproc)" "$@"
