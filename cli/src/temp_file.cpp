#include "temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qcli {

TempFile::TempFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern =
        std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/quillon-cli-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error_ = "cannot create a temporary file in " + pattern.substr(0, pattern.rfind('/')) +
                 ": " + std::strerror(errno);
        return;
    }
    close(fd);
    path_ = name.data();
}

TempFile::~TempFile() {
    if (!path_.empty()) {
        unlink(path_.c_str());
    }
}

bool TempFile::write(std::span<const std::uint8_t> bytes) {
    const int fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = "cannot write " + path_ + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace qcli
