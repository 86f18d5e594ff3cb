// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ram_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "messages.h"
#include "posix/fd.h"

namespace dlportio {

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
    // Closed on every way out of open(); the mapping stays valid.
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
    // block is reserved now: a store into a hole on a full disk would kill the
    // process with SIGBUS.
    if (const int err = ::posix_fallocate(file.get(), 0, static_cast<off_t>(kBoardRamSize));
        err != 0) {
        error = system_error_text("cannot reserve 32 KB for", path, err);
        return nullptr;
    }
    void* base = ::mmap(nullptr, kBoardRamSize, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
    if (base == MAP_FAILED) {
        error = system_error_text("cannot map", path, errno);
        return nullptr;
    }
    // The RamFile keeps the descriptor, to grow the file back if it is cut.
    return std::make_unique<RamFile>(static_cast<std::uint8_t*>(base), file.release(), path);
}

RamFile::RamFile(std::uint8_t* mapping, int fd, std::string path)
    : base_(mapping), fd_(fd), path_(std::move(path)), guard_(mapping, kBoardRamSize, fd) {}

RamFile::~RamFile() {
    ::munmap(base_, kBoardRamSize);
    ::close(fd_);
}

void RamFile::report_faults() {
    const MappingGuard::Faults faults = guard_.take_faults();
    if (!faults.any()) [[likely]] {
        return;
    }
    if (faults.regrown != 0) {
        tell("the simulated board's RAM file " + path_ +
             " was cut by another program; it is grown back to 32 KB, with zero bytes where "
             "it was cut");
    }
    if (faults.detached != 0) {
        tell("no room on the disk for the simulated board's RAM file " + path_ +
             "; the part that could not be kept reads zero and is not kept in the file");
    }
}

}  // namespace dlportio
