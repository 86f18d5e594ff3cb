// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Image files to and from the library's buffer: read once, raw or HEX; saved whole or not at all.
#include "image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ihex.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "posix/fd.h"
#include "posix/replace_file.h"
#include "posix/write_all.h"
#include "temp_file.h"

namespace qcli {
namespace {

namespace posix = quillon::posix;

// Far more than any HEX file of a 32 KB image needs, small enough to read whole.
constexpr std::size_t kMaxHexFileSize = 16u << 20;
constexpr std::size_t kSniffSize = 4096;
constexpr std::size_t kRamSize = vandrel::board::kRamSize;

std::string display_name(const std::string& path, bool output) {
    if (path == "-") {
        return output ? "<stdout>" : "<stdin>";
    }
    return path;
}

std::string system_error(const std::string& what, const std::string& name) {
    return what + " " + name + ": " + std::strerror(errno);
}

// Appends what fd yields until it ends or bytes holds limit; false with errno on an error.
bool read_up_to(int fd, std::vector<std::uint8_t>& bytes, std::size_t limit) {
    while (bytes.size() < limit) {
        const std::size_t before = bytes.size();
        bytes.resize(std::min(limit, before + 65536));
        const ssize_t n = ::read(fd, bytes.data() + before, bytes.size() - before);
        if (n < 0 && errno == EINTR) {
            bytes.resize(before);
            continue;
        }
        bytes.resize(before + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
    }
    return true;
}

std::span<const std::uint8_t> text_bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The library loads images only by name: it gets a private regular file with
// the bytes. total_size above the bytes' count makes the file that long
// (sparse), so the library refuses an oversized file with its true size.
int hand_to_library(Context& ctx, std::span<const std::uint8_t> bytes, std::size_t total_size) {
    TempFile file;
    if (!file.ok() || !file.write(bytes, total_size)) {
        return ctx.fail(file.error());
    }
    if (read_file(file.path().c_str()) == 0) {
        const int code = ctx.library_failure();
        // The library's words give the size; the reason is the board's.
        return total_size > kRamSize
                   ? ctx.fail("an image holds at most " + std::to_string(kRamSize) + " bytes", code)
                   : code;
    }
    return kExitOk;
}

std::span<const std::uint8_t> buffer_image() {
    return {getBuffer(), get_bufsize()};
}

// The buffer's image in the file's format; `text` holds the HEX records.
std::span<const std::uint8_t> image_bytes(ImageFormat format, std::string& text) {
    if (format == ImageFormat::raw) {
        return buffer_image();
    }
    text = ihex::write_image(buffer_image());
    return text_bytes(text);
}

// A raw file that can't be created or written is refused in the words the
// library's own save uses, which scripts know, before the name and the reason.
constexpr const char* kRawCreateRefusal = "file-error (create) : can not save!";
constexpr const char* kRawWriteRefusal = "data-error by saving!";

enum class SaveStep { create, write };

// The failure of a save's step, with the system's reason (errno).
int save_failure(Context& ctx, SaveStep step, const std::string& name, bool raw_file) {
    const bool create = step == SaveStep::create;
    const std::string reason =
        system_error(create && !raw_file ? "cannot create" : "cannot write", name);
    if (raw_file) {
        ctx.fail(create ? kRawCreateRefusal : kRawWriteRefusal);
    }
    return ctx.fail(reason);
}

// Devices, pipes and standard output take the bytes as they come.
int save_streaming(Context& ctx, const std::string& path, ImageFormat format) {
    const std::string name = display_name(path, true);
    const bool raw_file = format == ImageFormat::raw && path != "-";
    posix::Fd owned(
        path == "-" ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    const int fd = path == "-" ? STDOUT_FILENO : owned.get();
    if (fd < 0) {
        return save_failure(ctx, SaveStep::create, name, raw_file);
    }
    std::string text;
    if (!posix::write_all(fd, image_bytes(format, text)) || !owned.close()) {
        return save_failure(ctx, SaveStep::write, name, raw_file);
    }
    return kExitOk;
}

// Writes beside the file and renames over it once everything is on the disk,
// so a failure leaves the old file as it was.
int save_replacing(Context& ctx, const std::string& path, ImageFormat format) {
    posix::Replacement replacement(path);
    if (!replacement.ok()) {
        errno = replacement.error();
        // A folder that takes no new file: the old file is written over in
        // place; a missing folder is refused as any new file would be.
        if (errno == EACCES || errno == EPERM || errno == ENOENT || errno == ENOTDIR) {
            return save_streaming(ctx, path, format);
        }
        return ctx.fail(system_error("cannot create a new file beside", path));
    }
    std::string text;
    if (!posix::write_all(replacement.fd(), image_bytes(format, text))) {
        return save_failure(ctx, SaveStep::write, path, format == ImageFormat::raw);
    }
    switch (replacement.commit()) {
        case posix::Replacement::Failure::none:
            return kExitOk;
        case posix::Replacement::Failure::write:
            errno = replacement.error();
            return ctx.fail(system_error("cannot write", path));
        case posix::Replacement::Failure::rename:
            break;
    }
    errno = replacement.error();
    return ctx.fail(system_error("cannot replace", path));
}

}  // namespace

bool has_ihex_extension(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
        return false;
    }
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "hex" || ext == "ihx";
}

bool looks_like_ihex(std::span<const std::uint8_t> head) {
    const auto first = std::find_if(head.begin(), head.end(), [](std::uint8_t c) {
        return c != ' ' && c != '\t' && c != '\r' && c != '\n';
    });
    if (first == head.end() || *first != ':') {
        return false;
    }
    return std::all_of(head.begin(), head.end(), [](std::uint8_t c) {
        return std::isxdigit(c) != 0 || c == ':' || c == '\r' || c == '\n' || c == ' ' || c == '\t';
    });
}

ImageFormat output_format(std::string_view path, std::optional<ImageFormat> forced) {
    if (forced) {
        return *forced;
    }
    return has_ihex_extension(path) ? ImageFormat::ihex : ImageFormat::raw;
}

int load_image(Context& ctx, const std::string& path) {
    const bool from_stdin = path == "-";
    const std::string name = display_name(path, false);
    std::optional<ImageFormat> format = ctx.options.format;
    if (!format && has_ihex_extension(path)) {
        format = ImageFormat::ihex;
    }
    posix::Fd owned(from_stdin ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const int fd = from_stdin ? STDIN_FILENO : owned.get();
    struct stat info {};
    int problem = 0;
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        problem = errno;
    } else if (S_ISDIR(info.st_mode)) {
        problem = EISDIR;
    }
    if (problem != 0) {
        errno = problem;
        const std::string reason = system_error("cannot read", name);
        if (from_stdin || format == ImageFormat::ihex) {
            return ctx.fail(reason);
        }
        // Nothing was read: the library tells what is wrong with the name in
        // its own words, and the system's reason follows, which they leave out.
        if (read_file(path.c_str()) != 0) {
            return kExitOk;
        }
        return ctx.fail(reason, ctx.library_failure());
    }

    // One pass over the input: its head decides the format, then the rest follows.
    std::vector<std::uint8_t> bytes;
    bool read_ok = read_up_to(fd, bytes, kSniffSize);
    if (!format) {
        format = looks_like_ihex(bytes) ? ImageFormat::ihex : ImageFormat::raw;
    }
    const std::size_t limit = *format == ImageFormat::ihex ? kMaxHexFileSize : kRamSize;
    read_ok = read_ok && read_up_to(fd, bytes, limit + 1);
    if (!read_ok) {
        return ctx.fail(system_error("cannot read", name));
    }

    if (*format == ImageFormat::raw) {
        const bool regular = S_ISREG(info.st_mode);
        const std::size_t total =
            bytes.size() > kRamSize && regular
                ? std::max(bytes.size(), static_cast<std::size_t>(info.st_size))
                : bytes.size();
        return hand_to_library(ctx, bytes, total);
    }
    if (bytes.size() > kMaxHexFileSize) {
        return ctx.fail(name + ": too large for the HEX image of a 32 KB board");
    }
    const ihex::Image hex = ihex::read_image(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        ctx.options.fill, kRamSize);
    if (!hex.ok()) {
        return ctx.fail(name + ":" + std::to_string(hex.error.line) + ": " + hex.error.what);
    }
    return hand_to_library(ctx, hex.bytes, hex.bytes.size());
}

int save_image(Context& ctx, const std::string& path) {
    const ImageFormat format = output_format(path == "-" ? "" : path, ctx.options.format);
    if (path == "-") {
        if (ctx.out_closed) {
            return ctx.fail(kStdoutClosed);
        }
        return save_streaming(ctx, path, format);
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return ctx.fail(system_error("cannot write", path));
        }
        return save_replacing(ctx, path, format);
    }
    if (S_ISREG(info.st_mode)) {
        // The new file takes the old one's place by a rename, which asks only
        // the folder: a file the user may not write is refused as an open for
        // writing would refuse it.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
            return ctx.fail(system_error("cannot write", path));
        }
        return save_replacing(ctx, path, format);
    }
    return save_streaming(ctx, path, format);
}

}  // namespace qcli
