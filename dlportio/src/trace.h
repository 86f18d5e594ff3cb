/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// DLPORTIO_TRACE: every port access appended to a text file, one line each,
// with a run of equal reads from one address folded into one line:
//   W 0378 C8        write of 0xC8 to the data register at 0x378
//   R 0379 7F x12    twelve reads of the status register in a row, each 0x7F
// Lines are gathered in a buffer of the file's own and written in large
// blocks, and at the latest when the file is closed. A program that ends on a
// signal calls dlportio_trace_flush from its own handler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "backend.h"
#include "posix/fd.h"

namespace dlportio {

class TraceFile {
public:
    // Opens the file for appending; on failure returns nothing and says why.
    static std::unique_ptr<TraceFile> open(const std::string& path, std::string& error);
    TraceFile(quillon::posix::Fd fd, std::string path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    void write(unsigned long port, std::uint8_t value);
    void read(unsigned long port, std::uint8_t value);
    // A comment line, e.g. which back end serves a port.
    void note(const std::string& text);

    // Writes what is gathered.
    void flush() noexcept;
    // The same and the run of reads in progress, for a process that ends now;
    // safe in a signal handler.
    void flush_for_exit() noexcept;

private:
    void end_read_run();
    void append(const char* text, std::size_t length);
    bool write_out(const char* text, std::size_t length) noexcept;
    void report_failure();

    quillon::posix::Fd fd_;
    std::string path_;
    std::array<char, 1 << 16> buffer_{};
    std::size_t used_ = 0;
    unsigned long run_port_ = 0;
    std::uint8_t run_value_ = 0;
    std::uint64_t run_length_ = 0;
    int write_errno_ = 0;  // set by the first failed write
    bool failure_told_ = false;
};

// flush_for_exit() of the trace opened last, if one is open.
void flush_trace_for_exit() noexcept;

// A back end with every access recorded.
class TracedBackend final : public Backend {
public:
    TracedBackend(Backend& inner, TraceFile& trace, unsigned long base)
        : inner_(inner), trace_(trace), base_(base) {}

    void write_data(std::uint8_t value) override {
        inner_.write_data(value);
        trace_.write(base_, value);
    }
    std::uint8_t read_status() override {
        const std::uint8_t value = inner_.read_status();
        trace_.read(base_ + 1, value);
        return value;
    }
    bool read_data(std::uint8_t& value) override {
        if (!inner_.read_data(value)) {
            return false;
        }
        trace_.read(base_, value);
        return true;
    }
    AccessFailures failures() const override { return inner_.failures(); }
    bool pass_time(std::uint32_t ms) override { return inner_.pass_time(ms); }
    void* simulated_board() override { return inner_.simulated_board(); }

private:
    Backend& inner_;
    TraceFile& trace_;
    unsigned long base_;
};

}  // namespace dlportio
