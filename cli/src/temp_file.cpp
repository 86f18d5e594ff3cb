#include "temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "posix/write_all.h"

namespace qcli {

TempFile::TempFile() {
    const char* dir = std::getenv("TMPDIR");
    std::vector<std::string> folders;
    if (dir != nullptr && dir[0] != '\0') {
        folders.emplace_back(dir);
    }
    // TMPDIR may name a folder that does not exist: /tmp then serves.
    folders.emplace_back("/tmp");
    for (const std::string& folder : folders) {
        std::string name = folder + "/quillon-cli-XXXXXX";
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
            path_ = name;
            error_.clear();
            return;
        }
        if (error_.empty()) {
            error_ = "cannot create a temporary file in " + folder + ": " + std::strerror(errno);
        }
    }
}

TempFile::~TempFile() {
    if (!path_.empty()) {
        unlink(path_.c_str());
    }
}

bool TempFile::write(std::span<const std::uint8_t> bytes, std::size_t size) {
    const int fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!quillon::posix::write_all(fd, bytes)) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    if (size > bytes.size() && ftruncate(fd, static_cast<off_t>(size)) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    if (close(fd) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace qcli
