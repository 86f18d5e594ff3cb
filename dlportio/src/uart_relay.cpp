#include "uart_relay.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace dlportio {

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
        const char* at = chunk.data();
        std::size_t left = static_cast<std::size_t>(got);
        // Without a log the pipe is still drained, so the simulator never blocks.
        while (log_fd_ >= 0 && left > 0) {
            const ssize_t written = ::write(log_fd_, at, left);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                break;
            }
            at += written;
            left -= static_cast<std::size_t>(written);
        }
    }
}

}  // namespace dlportio
