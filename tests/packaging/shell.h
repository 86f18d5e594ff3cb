// Runs the tools that build, install and inspect the package, and keeps their
// output in a scratch folder that goes away with the test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillon::packaging {

struct ShellResult {
    int exit_code = -1;
    std::string output;  // standard output and standard error together
};

// Runs a command line with /bin/sh.
ShellResult run_shell(const std::string& command);

// text in single quotes for /bin/sh.
std::string quoted(const std::string& text);

std::string read_text(const std::filesystem::path& path);
std::vector<std::string> lines_of(const std::string& text);

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace quillon::packaging
