#include "ram_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace dlportio {

namespace {

std::string system_error_text(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

// Closes the descriptor on every way out of open(); the mapping stays valid.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

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
    const Descriptor file{::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
    if (file.fd < 0) {
        error = system_error_text("cannot open", path, errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error = system_error_text("cannot stat", path, errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        return nullptr;
    }
    // A shorter file (new, or cut) grows with zero bytes and keeps what it holds;
    // a longer one is left as it is and only its first 32 KB are the RAM.
    if (info.st_size < static_cast<off_t>(kBoardRamSize) &&
        ::ftruncate(file.fd, static_cast<off_t>(kBoardRamSize)) != 0) {
        error = system_error_text("cannot extend", path, errno);
        return nullptr;
    }
    void* base = ::mmap(nullptr, kBoardRamSize, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd, 0);
    if (base == MAP_FAILED) {
        error = system_error_text("cannot map", path, errno);
        return nullptr;
    }
    return std::make_unique<RamFile>(static_cast<std::uint8_t*>(base));
}

RamFile::~RamFile() {
    ::munmap(base_, kBoardRamSize);
}

}  // namespace dlportio
