// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The RAM file: its size reserved at the open, read when the PC takes the board, written back.
#include "ram_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "messages.h"
#include "posix/fd.h"

namespace sim {

namespace {

std::string system_error_text(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

}  // namespace

std::unique_ptr<RamFile> RamFile::open(const std::string& path, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            error = "cannot create " + folder.string() + ": " + ec.message();
            return nullptr;
        }
    }
    quillon::posix::Fd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!file.valid()) {
        error = system_error_text("cannot open", path, errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        error = system_error_text("cannot stat", path, errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        return nullptr;
    }
    // A shorter file (new, or cut) grows with zero bytes and keeps what it holds;
    // a longer one is left as it is and only its first 32 KB are the RAM. Every
    // block is reserved now, so that a full disk is told here and not in the
    // middle of a transfer.
    if (const int err = ::posix_fallocate(file.get(), 0, static_cast<off_t>(kBoardRamSize));
        err != 0) {
        error = system_error_text("cannot reserve 32 KB for", path, err);
        return nullptr;
    }
    auto ram = std::make_unique<RamFile>(std::move(file), path);
    ram->load();
    return ram;
}

RamFile::RamFile(quillon::posix::Fd fd, std::string path)
    : fd_(std::move(fd)), path_(std::move(path)) {}

RamFile::~RamFile() {
    save();
}

void RamFile::grow_back() {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0 || info.st_size >= static_cast<off_t>(kBoardRamSize)) {
        return;
    }
    if (::posix_fallocate(fd_.get(), 0, static_cast<off_t>(kBoardRamSize)) == 0) {
        no_room_told_ = false;
        tell("the simulated board's RAM file " + path_ +
             " was cut by another program; it is grown back to 32 KB, with zero bytes where "
             "it was cut");
    } else if (!no_room_told_) {
        no_room_told_ = true;
        tell("no room on the disk for the simulated board's RAM file " + path_ +
             "; the part that could not be kept reads zero and is not kept in the file");
    }
}

void RamFile::load() {
    grow_back();
    std::size_t done = 0;
    while (done < kBoardRamSize) {
        const ssize_t got = ::pread(fd_.get(), image_.data() + done, kBoardRamSize - done,
                                    static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // the end of a file that could not grow back: the rest reads zero
        }
        done += static_cast<std::size_t>(got);
    }
    std::fill(image_.begin() + static_cast<std::ptrdiff_t>(done), image_.end(), 0);
    first_changed_ = kBoardRamSize;
    end_changed_ = 0;
}

void RamFile::save() {
    if (first_changed_ >= end_changed_) {
        return;
    }
    grow_back();
    std::size_t at = first_changed_;
    while (at < end_changed_) {
        const ssize_t put =
            ::pwrite(fd_.get(), image_.data() + at, end_changed_ - at, static_cast<off_t>(at));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            break;  // no room: grow_back() said so; the copy keeps the bytes meanwhile
        }
        at += static_cast<std::size_t>(put);
    }
    first_changed_ = kBoardRamSize;
    end_changed_ = 0;
}

}  // namespace sim
