// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Loading and saving raw image files through C streams, refusals in the library's words.
#include "image_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>

#include "last_error.h"
#include "library_state.h"
#include "posix/fd.h"

namespace vandrel {

namespace {

// A load is read here first and reaches the buffer only when it succeeds.
constinit std::array<std::uint8_t, kBufferCapacity> g_staging{};

class Stream {
public:
    Stream(const char* name, const char* mode) : file_(std::fopen(name, mode)) {}
    ~Stream() { close(); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Returns false when data still buffered could not be written out.
    bool close() {
        if (file_ == nullptr) {
            return true;
        }
        const int result = std::fclose(file_);
        file_ = nullptr;
        return result == 0;
    }

private:
    std::FILE* file_;
};

// The separate read-only open by name that asks a file's length; -1 when it can't be
// had or doesn't fit 32 bits, as for pipes and devices.
class LengthQuery {
public:
    explicit LengthQuery(const char* name) : fd_(::open(name, O_RDONLY | O_NONBLOCK)) {}

    std::int32_t length() const {
        struct stat info {};
        if (!fd_.valid() || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size > std::numeric_limits<std::int32_t>::max()) {
            return -1;
        }
        return static_cast<std::int32_t>(info.st_size);
    }

    void close() { fd_.close(); }

private:
    quillon::posix::Fd fd_;
};

// On Linux a directory opens as a stream; it is no file to load all the same.
bool is_directory(std::FILE* stream) {
    struct stat info {};
    return ::fstat(::fileno(stream), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

StreamReadResult read_stream(std::FILE* stream, std::span<std::uint8_t> dest) {
    std::size_t count = 0;
    for (;;) {
        const int c = std::fgetc(stream);
        if (c == EOF) {
            break;
        }
        if (count == dest.size()) {
            return {StreamRead::too_long, count + 1};
        }
        dest[count++] = static_cast<std::uint8_t>(c);
    }
    if (std::ferror(stream) != 0) {
        return {StreamRead::read_error, count};
    }
    return {StreamRead::complete, count};
}

std::uint16_t load_image(const char* name) {
    if (name[0] == '\0') {
        set_last_error("invalid file-name");
        return 0;
    }
    Stream stream(name, "rb");
    if (!stream || is_directory(stream.get())) {
        set_last_error_cant_open(name);
        return 0;
    }
    LengthQuery query(name);
    const std::int32_t length = query.length();
    if (length > static_cast<std::int32_t>(kBufferCapacity)) {
        set_last_error_file_too_long(length);
        return 0;
    }
    const auto result = read_stream(stream.get(), g_staging);
    query.close();
    stream.close();

    switch (result.outcome) {
        case StreamRead::too_long:
            // The length was unknown or the file grew after it was asked.
            set_last_error_file_too_long(static_cast<std::int32_t>(result.count));
            return 0;
        case StreamRead::read_error:
            set_last_error_cant_read(name);
            return 0;
        case StreamRead::complete:
            break;
    }

    auto& st = state();
    st.buffer_size = static_cast<std::uint16_t>(result.count);
    if (result.count == 0) {
        set_last_error("file has no content");
        return 0;
    }
    std::copy_n(g_staging.begin(), result.count, st.buffer.begin());
    return st.buffer_size;
}

std::uint16_t save_image(const char* name) {
    const auto& st = state();
    if (st.buffer_size == 0) {
        set_last_error("empty buffer --> break save!");
        return 0;
    }
    Stream stream(name, "wb");
    if (!stream) {
        set_last_error("file-error (create) : can not save!");
        return 0;
    }
    for (std::size_t i = 0; i < st.buffer_size; ++i) {
        const int written = std::fputc(st.buffer[i], stream.get());
        if (written == EOF || static_cast<std::uint8_t>(written) != st.buffer[i]) {
            set_last_error("data-error by saving!");
            return 0;
        }
    }
    // The stream buffers: on a full disk the failure may first show when it is flushed.
    if (!stream.close()) {
        set_last_error("data-error by saving!");
        return 0;
    }
    return st.buffer_size;
}

}  // namespace vandrel
