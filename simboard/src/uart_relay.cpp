#include "uart_relay.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "posix/write_all.h"

namespace sim {

UartRelay::UartRelay(int pipe_fd, int log_fd, int terminal_fd)
    : pipe_fd_(pipe_fd), log_fd_(log_fd), terminal_fd_(terminal_fd), thread_([this] { copy(); }) {}

UartRelay::~UartRelay() {
    thread_.join();
    ::close(pipe_fd_);
    if (log_fd_ >= 0) {
        ::close(log_fd_);
    }
    if (terminal_fd_ >= 0) {
        ::close(terminal_fd_);
    }
}

void UartRelay::copy() {
    std::array<char, 4096> chunk{};
    while (true) {
        const ssize_t got = ::read(pipe_fd_, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;  // the simulator has ended
        }
        if (terminal_fd_ >= 0) {
            [[maybe_unused]] const auto taken =
                ::write(terminal_fd_, chunk.data(), static_cast<std::size_t>(got));
        }
        // Without a log the pipe is still drained, so the simulator never blocks.
        if (log_fd_ >= 0) {
            quillon::posix::write_all(log_fd_, chunk.data(), static_cast<std::size_t>(got));
        }
    }
}

}  // namespace sim
