// Copies the simulated UART's output from a pipe into the log file as it
// comes, so that a user can follow the log while the firmware runs. The
// simulator itself would truncate any file it is given.
#pragma once

#include <thread>

namespace sim {

class UartRelay {
public:
    // Takes over `pipe_fd` (the read end), `log_fd` (opened for appending)
    // and `terminal_fd` (non-blocking; what it cannot take at once is dropped).
    UartRelay(int pipe_fd, int log_fd, int terminal_fd = -1);
    // Waits for the end of the pipe: destroy only after the writer has gone.
    ~UartRelay();
    UartRelay(const UartRelay&) = delete;
    UartRelay& operator=(const UartRelay&) = delete;

private:
    void copy();

    int pipe_fd_;
    int log_fd_;
    int terminal_fd_;
    std::thread thread_;
};

}  // namespace sim
