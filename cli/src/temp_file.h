// A private temporary file that disappears with its owner, for handing bytes
// to the library, which takes images only by file name.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qcli {

class TempFile {
public:
    TempFile();  // created empty in $TMPDIR (or /tmp), mode 0600
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Replaces the file's content; false (with error()) when that fails.
    bool write(std::span<const std::uint8_t> bytes);

private:
    std::string path_;
    std::string error_;
};

}  // namespace qcli
