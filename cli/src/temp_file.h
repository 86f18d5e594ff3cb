// A private temporary file that disappears with its owner, for handing bytes
// to the library, which takes images only by file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qcli {

class TempFile {
public:
    // Created empty in $TMPDIR, or in /tmp when that fails, mode 0600.
    TempFile();
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Replaces the file's content; a size above the bytes' count makes the
    // file that long, the rest a hole. False (with error()) when that fails.
    bool write(std::span<const std::uint8_t> bytes, std::size_t size = 0);

private:
    std::string path_;
    std::string error_;
};

}  // namespace qcli
