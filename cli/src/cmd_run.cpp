// run FILE [--for S] [--read N OUTFILE]: upload FILE and let the board's 8051
// run it for S seconds, showing its UART output as it comes (on the simulated
// board with DLPORTIO_SIM_MCU=s51), then take the board back with a download
// and show the port latches the firmware left.
#include <dlportio.h>
#include <vandrel.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "command.h"
#include "image_file.h"
#include "pause.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kPollMs = 50;

// Follows the log from where it ended when the firmware started.
class LogFollower {
public:
    explicit LogFollower(fs::path path) : path_(std::move(path)) {
        std::error_code ec;
        const auto size = fs::file_size(path_, ec);
        offset_ = ec ? 0 : size;
    }

    // Copies what was appended since the last call; true if anything was.
    bool copy_new(std::ostream& out) {
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            return false;
        }
        in.seekg(0, std::ios::end);
        const std::streamoff end = in.tellg();
        if (end < static_cast<std::streamoff>(offset_)) {
            offset_ = 0;  // the log was truncated or replaced
        }
        if (end <= static_cast<std::streamoff>(offset_)) {
            return false;
        }
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string text(static_cast<std::size_t>(end) - offset_, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        offset_ += text.size();
        out << text << std::flush;
        seen_ = seen_ || !text.empty();
        return !text.empty();
    }

    bool seen() const { return seen_; }

private:
    fs::path path_;
    std::uintmax_t offset_ = 0;
    bool seen_ = false;
};

// The latches the layer wrote when it stopped the 8051, if this run wrote them.
std::optional<std::string> fresh_port_latches(const fs::path& file,
                                              std::optional<fs::file_time_type> before) {
    std::error_code ec;
    const auto written = fs::last_write_time(file, ec);
    if (ec || (before && written == *before)) {
        return std::nullopt;
    }
    std::ifstream in(file);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            text += (text.empty() ? "" : " ") + line;
        }
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace

int run_run(Context& ctx) {
    const double seconds = ctx.options.run_seconds;
    const std::uint16_t read_size = ctx.options.read_size.value_or(0);
    if (ctx.options.read_size.has_value() != (ctx.options.args.size() == 2)) {
        return ctx.fail(
            "usage: " + std::string(kProgramName) + " " + usage_line(*find_command("run")),
            kExitUsage);
    }

    if (const int rc = load_image(ctx, ctx.options.args[0]); rc != kExitOk) {
        return rc;
    }
    const std::uint16_t size = get_bufsize();
    const std::uint16_t checksum = get_chsum();
    progress_begin("upload");
    if (write_ram() == 0) {
        return ctx.library_failure();
    }
    ctx.info() << write_ram_text(size, checksum) << '\n';

    // The port-access layer's own files: the simulated UART's output and the latches.
    const fs::path log = dlportio_path("uart");
    const fs::path ports = dlportio_path("ports");
    std::error_code ec;
    std::optional<fs::file_time_type> ports_before;
    if (const auto time = fs::last_write_time(ports, ec); !ec) {
        ports_before = time;
    }
    LogFollower uart(log);

    reset();  // the 8051 runs from here
    ctx.info() << "running for " << seconds << " s; UART output (" << log.string() << "):\n"
               << std::flush;
    const auto polls = static_cast<unsigned long>(std::ceil(seconds * 1000 / kPollMs));
    for (unsigned long i = 0; i < polls; ++i) {
        pause_ms(kPollMs);
        uart.copy_new(ctx.out);
    }

    // A download raises the reset line: the 8051 stops and the RAM is the PC's again.
    progress_begin("download");
    const auto take_back = static_cast<std::uint16_t>(read_size > 0 ? read_size : 1);
    if (read_ram(take_back) == 0) {
        return ctx.library_failure();
    }
    uart.copy_new(ctx.out);  // what came between the last look and the stop
    if (read_size > 0) {
        if (const int rc = save_image(ctx, ctx.options.args[1]); rc != kExitOk) {
            return rc;
        }
        ctx.info() << read_ram_text(get_bufsize(), get_chsum()) << '\n';
    }
    if (!uart.seen()) {
        ctx.info() << "(no UART output)\n";
    }
    if (const auto latches = fresh_port_latches(ports, ports_before)) {
        ctx.out << "ports: " << *latches << '\n';
    } else {
        ctx.info() << "no port latches: the board is not simulated with DLPORTIO_SIM_MCU=s51\n";
    }
    return kExitOk;
}

}  // namespace qcli
