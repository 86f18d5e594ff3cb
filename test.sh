#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-test/ and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON >/dev/null
cmake --build build-test

# Tests never touch the user's own settings, board RAM file or logs.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# The Intel HEX codec takes files from anywhere: fuzz it briefly where clang is at hand.
if command -v clang++ >/dev/null; then
    mkdir -p build-test/fuzz/corpus
    clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -Iihex/include ihex/fuzz/ihex_fuzz.cpp ihex/src/reader.cpp ihex/src/writer.cpp \
        -o build-test/fuzz/ihex_fuzz
    build-test/fuzz/ihex_fuzz -max_total_time=20 -print_final_stats=0 \
        -artifact_prefix=build-test/fuzz/ build-test/fuzz/corpus ihex/fuzz/corpus 2>build-test/fuzz/log \
        || { tail -n 40 build-test/fuzz/log >&2; exit 1; }
    echo "ihex fuzz: no crash in $(grep -o 'Done [0-9]* runs' build-test/fuzz/log || echo '? runs')"
fi

# A hung test fails after five minutes instead of holding CI to its limit.
ctest --test-dir build-test --output-on-failure --timeout 300 -j"$(nproc)" "$@"
