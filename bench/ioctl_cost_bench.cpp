// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What one port access through ppdev costs this machine's kernel, without a
// parallel port: ppdev turns every access into one ioctl, so the round trip of
// an ioctl that does comparable work is the software share of an access. The
// port's own bus cycle comes on top on real hardware.
//
//   unknown request: PPRSTATUS on /dev/null, refused with ENOTTY after the
//     system call's entry, the descriptor lookup and the driver dispatch;
//   pipe FIONREAD: the pipe takes its lock and copies an int to the caller,
//     as ppdev takes its lock and copies the status byte.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>

#include "posix/fd.h"

namespace {

void BM_IoctlUnknownRequest(benchmark::State& state) {
    const quillon::posix::Fd null_device(open("/dev/null", O_RDWR | O_CLOEXEC));
    const int fd = null_device.get();
    if (fd < 0) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    unsigned char status = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ioctl(fd, PPRSTATUS, &status));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IoctlUnknownRequest);

void BM_IoctlPipeFionread(benchmark::State& state) {
    std::array<int, 2> fds{};
    if (pipe2(fds.data(), O_CLOEXEC) != 0) {
        state.SkipWithError("cannot make a pipe");
        return;
    }
    const quillon::posix::Fd read_end(fds[0]);
    const quillon::posix::Fd write_end(fds[1]);
    int pending = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ioctl(read_end.get(), FIONREAD, &pending));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IoctlPipeFionread);

}  // namespace

BENCHMARK_MAIN();
