#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-builds the core for arm64 (both libraries and quillon-cli, without the
# Qt program) into build-arm64/ with g++-aarch64-linux-gnu, and runs its suite
# under qemu-user: the tests start the built programs themselves, so arm64
# binaries are registered with binfmt_misc to run through qemu-aarch64. Needs
# root; adds arm64 as a foreign architecture for libgtest-dev:arm64.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-arm64}
scripts/install-deps.sh build test file
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    dpkg --add-architecture arm64
    apt-get update -qq
fi
scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user qemu-user-binfmt binfmt-support \
    libgtest-dev:arm64 libgmock-dev:arm64 libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64
mountpoint -q /proc/sys/fs/binfmt_misc ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
update-binfmts --enable qemu-aarch64

mkdir -p "$build"
cat >"$build/toolchain.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
TOOLCHAIN
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FRONT=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/$build/toolchain.cmake" >/dev/null
cmake --build "$build"
file "$build"/bin/quillon-cli "$build"/lib/libvandrel.so.1.* "$build"/lib/libdlportio.so.1.*

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state" \
    ctest --test-dir "$build" --output-on-failure --timeout 600 -j"$(nproc)" "$@"
