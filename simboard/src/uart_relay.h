/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Copies the simulated UART's output from a pipe into the log file as it
// comes, so that a user can follow the log while the firmware runs. The
// simulator itself would truncate any file it is given.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "posix/fd.h"

namespace sim {

class UartRelay {
public:
    // Takes over `pipe_fd` (the read end), `log_fd` (opened for appending)
    // and `terminal_fd` (non-blocking; what it cannot take at once is dropped).
    // When the log fails to take a write (a full disk), `log_error` gets the
    // errno and the log takes nothing more.
    UartRelay(quillon::posix::Fd pipe_fd, quillon::posix::Fd log_fd,
              quillon::posix::Fd terminal_fd = {}, std::atomic<int>* log_error = nullptr);
    // Waits for the end of the pipe: destroy only after the writer has gone.
    ~UartRelay();
    UartRelay(const UartRelay&) = delete;
    UartRelay& operator=(const UartRelay&) = delete;

    // Readable once output has reached the log since the last take_activity(),
    // and when the simulator has ended: a waiting caller wakes on it.
    int activity_fd() const { return activity_fd_.get(); }
    void take_activity();
    // Copies what the pipe holds now before returning: output the simulator
    // wrote before it printed a stop is in the log when the stop is told.
    void drain();

private:
    void copy();
    // With `mutex_` held: what the pipe holds now; false once it has ended.
    bool take_pipe();

    quillon::posix::Fd pipe_fd_;
    quillon::posix::Fd log_fd_;
    quillon::posix::Fd terminal_fd_;
    std::atomic<int>* log_error_;
    quillon::posix::Fd activity_fd_;
    std::mutex mutex_;  // one copier at a time: the thread, or drain()
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace sim
