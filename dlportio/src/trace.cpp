#include "trace.h"

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace dlportio {

std::unique_ptr<TraceFile> TraceFile::open(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // A transfer makes millions of accesses: buffer them in large blocks.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    std::fprintf(file, "# dlportio trace, process %ld\n", static_cast<long>(::getpid()));
    return std::make_unique<TraceFile>(file);
}

TraceFile::~TraceFile() {
    end_read_run();
    std::fclose(file_);
}

void TraceFile::write(unsigned long port, std::uint8_t value) {
    end_read_run();
    std::fprintf(file_, "W %04lX %02X\n", port, static_cast<unsigned>(value));
}

void TraceFile::read(unsigned long port, std::uint8_t value) {
    if (run_length_ > 0 && (port != run_port_ || value != run_value_)) {
        end_read_run();
    }
    run_port_ = port;
    run_value_ = value;
    ++run_length_;
}

void TraceFile::note(const std::string& text) {
    end_read_run();
    std::fprintf(file_, "# %s\n", text.c_str());
}

void TraceFile::end_read_run() {
    if (run_length_ == 0) {
        return;
    }
    if (run_length_ == 1) {
        std::fprintf(file_, "R %04lX %02X\n", run_port_, static_cast<unsigned>(run_value_));
    } else {
        std::fprintf(file_, "R %04lX %02X x%" PRIu64 "\n", run_port_,
                     static_cast<unsigned>(run_value_), run_length_);
    }
    run_length_ = 0;
}

}  // namespace dlportio
