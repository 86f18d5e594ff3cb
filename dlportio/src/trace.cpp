// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The trace file: accesses formatted without the C library, buffered, flushed on exit.
#include "trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "messages.h"
#include "posix/write_all.h"

namespace dlportio {

namespace {

// The trace that dlportio_trace_flush writes out: the one opened last.
std::atomic<TraceFile*> g_flushed_on_request{nullptr};

// Hex and decimal digits without the C library's formatting, which is not
// safe in a signal handler.
char* put_hex(char* out, unsigned long value, int digits) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        *out++ = kDigits[(value >> shift) & 0xF];
    }
    return out;
}

char* put_port(char* out, unsigned long port) {
    int digits = 4;
    while (digits < 16 && (port >> (digits * 4)) != 0) {
        ++digits;
    }
    return put_hex(out, port, digits);
}

char* put_decimal(char* out, std::uint64_t value) {
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        *out++ = reversed[--count];
    }
    return out;
}

// "W 0378 C8\n" or "R 0379 7F x12\n"; returns the length.
std::size_t format_access(char* line, char kind, unsigned long port, std::uint8_t value,
                          std::uint64_t times) {
    char* out = line;
    *out++ = kind;
    *out++ = ' ';
    out = put_port(out, port);
    *out++ = ' ';
    out = put_hex(out, value, 2);
    if (times > 1) {
        *out++ = ' ';
        *out++ = 'x';
        out = put_decimal(out, times);
    }
    *out++ = '\n';
    return static_cast<std::size_t>(out - line);
}

constexpr std::size_t kLineSpace = 64;

}  // namespace

std::unique_ptr<TraceFile> TraceFile::open(const std::string& path, std::string& error) {
    quillon::posix::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!fd.valid()) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    auto trace = std::make_unique<TraceFile>(std::move(fd), path);
    const std::string header = "# dlportio trace, process " + std::to_string(::getpid()) + "\n";
    trace->append(header.data(), header.size());
    g_flushed_on_request.store(trace.get());
    return trace;
}

TraceFile::TraceFile(quillon::posix::Fd fd, std::string path)
    : fd_(std::move(fd)), path_(std::move(path)) {}

TraceFile::~TraceFile() {
    TraceFile* self = this;
    g_flushed_on_request.compare_exchange_strong(self, nullptr);
    end_read_run();
    flush();
    if (!fd_.close() && write_errno_ == 0) {
        write_errno_ = errno;
    }
    report_failure();
}

void TraceFile::write(unsigned long port, std::uint8_t value) {
    end_read_run();
    char line[kLineSpace];
    append(line, format_access(line, 'W', port, value, 1));
}

void TraceFile::read(unsigned long port, std::uint8_t value) {
    if (run_length_ > 0 && (port != run_port_ || value != run_value_)) {
        end_read_run();
    }
    run_port_ = port;
    run_value_ = value;
    ++run_length_;
}

void TraceFile::note(const std::string& text) {
    end_read_run();
    const std::string line = "# " + text + "\n";
    append(line.data(), line.size());
}

void TraceFile::end_read_run() {
    if (run_length_ == 0) {
        return;
    }
    char line[kLineSpace];
    const std::size_t length = format_access(line, 'R', run_port_, run_value_, run_length_);
    run_length_ = 0;
    append(line, length);
}

void TraceFile::append(const char* text, std::size_t length) {
    if (buffer_.size() - used_ < length) {
        flush();
        report_failure();
    }
    if (length > buffer_.size()) {
        write_out(text, length);
        return;
    }
    std::memcpy(buffer_.data() + used_, text, length);
    // The bytes are in place before a signal handler can see them counted.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    used_ += length;
}

void TraceFile::flush() noexcept {
    write_out(buffer_.data(), used_);
    used_ = 0;
}

void TraceFile::flush_for_exit() noexcept {
    flush();
    if (run_length_ > 0) {
        // The run of reads the process was in, as far as it went.
        char line[kLineSpace];
        write_out(line, format_access(line, 'R', run_port_, run_value_, run_length_));
    }
}

bool TraceFile::write_out(const char* text, std::size_t length) noexcept {
    if (quillon::posix::write_all(fd_.get(), text, length)) {
        return true;
    }
    if (write_errno_ == 0) {
        write_errno_ = errno;
    }
    return false;  // what is left is dropped: the trace goes on incomplete
}

void TraceFile::report_failure() {
    if (write_errno_ != 0 && !failure_told_) {
        failure_told_ = true;
        tell("cannot write the trace file " + path_ + ": " + std::strerror(write_errno_) +
             "; the trace is incomplete");
    }
}

void flush_trace_for_exit() noexcept {
    if (TraceFile* trace = g_flushed_on_request.load()) {
        trace->flush_for_exit();
    }
}

}  // namespace dlportio
