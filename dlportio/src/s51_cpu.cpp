#include "s51_cpu.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "child_process.h"
#include "intel_hex_image.h"
#include "messages.h"
#include "ram_file.h"
#include "sim_console.h"
#include "uart_relay.h"

namespace dlportio {

namespace {

constexpr std::string_view kEndRecord = ":00000001FF";
// Von Neumann wiring: the firmware's external data memory is the same 32 KB
// that holds its code.
constexpr std::string_view kMapDataOntoCode =
    "memory create addressdecoder xram 0 0x7fff rom_chip 0";

void complain(const std::string& what) {
    tell("s51: " + what);
}

// A private folder for the image the simulator loads; removed with it.
class TempFolder {
public:
    TempFolder() {
        std::error_code ec;
        const auto preferred = std::filesystem::temp_directory_path(ec);
        // TMPDIR may name a folder that does not exist: /tmp then serves.
        for (const std::filesystem::path& base :
             {ec ? std::filesystem::path("/tmp") : preferred, std::filesystem::path("/tmp")}) {
            std::string pattern = (base / "quillon-s51-XXXXXX").string();
            if (::mkdtemp(pattern.data()) != nullptr) {
                path_ = pattern;
                return;
            }
        }
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ec);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

int open_log(const std::string& path, std::string& error) {
    if (path.empty()) {
        return -1;
    }
    std::error_code ec;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ec);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open the UART log " + path + ": " + std::strerror(errno);
    }
    return fd;
}

// The dump of one memory region, exactly `size` bytes from `first`.
template <std::size_t N>
bool dump_region(SimConsole& console, std::string_view memory, unsigned first, std::size_t size,
                 std::array<std::uint8_t, N>& image, std::chrono::milliseconds answer_time) {
    char command[64];
    std::snprintf(command, sizeof command, "dump /i %.*s 0x%x 0x%zx",
                  static_cast<int>(memory.size()), memory.data(), first, first + size - 1);
    if (!console.send(command)) {
        return false;
    }
    const auto answer = console.read_until(kEndRecord, answer_time);
    if (!answer) {
        return false;
    }
    const auto stored = parse_intel_hex(*answer, image);
    return stored && *stored == size;
}

// A command that worked answers with nothing but its own echo; a refused one
// prints its usage or an error.
bool silent_answer(const std::optional<std::string>& answer, std::string_view command) {
    if (!answer) {
        return false;
    }
    std::string_view rest = *answer;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && line != command) {
            return false;
        }
    }
    return true;
}

void write_ports_file(const std::string& path, const PortLatches& latches) {
    if (path.empty()) {
        return;
    }
    std::error_code ec;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ec);
    }
    std::ofstream out(path, std::ios::trunc);
    out << port_latches_text(latches);
    if (!out.flush()) {
        complain("cannot write the port latches to " + path);
    }
}

}  // namespace

std::string port_latches_text(const PortLatches& latches) {
    char text[64];
    std::snprintf(text, sizeof text, "P0=0x%02X\nP1=0x%02X\nP2=0x%02X\nP3=0x%02X\n", latches.p0,
                  latches.p1, latches.p2, latches.p3);
    return text;
}

// One run of the simulator. Members end in reverse order: the process first,
// so that the relay sees the end of the UART pipe, then the console.
struct S51Cpu::Session {
    std::string error;
    SimConsole console{error};
    std::unique_ptr<UartRelay> relay;
    std::unique_ptr<ChildProcess> process;
};

S51Cpu::S51Cpu(S51Settings settings) : settings_(std::move(settings)) {}

S51Cpu::~S51Cpu() = default;

void S51Cpu::run(BoardRam ram) {
    session_.reset();  // a simulator left over from an unpaired edge has nothing to hand back
    try {
        auto session = std::make_unique<Session>();
        if (!session->console.valid()) {
            complain(session->error + "; the 8051 does not run");
            return;
        }
        TempFolder folder;
        if (folder.path().empty()) {
            complain("cannot create a temporary folder; the 8051 does not run");
            return;
        }
        const auto image = folder.path() / "board-ram.ihx";
        {
            std::ofstream out(image, std::ios::binary);
            out << to_intel_hex(ram);
            if (!out.flush()) {
                complain("cannot write " + image.string() + "; the 8051 does not run");
                return;
            }
        }

        std::string error;
        const int log_fd = open_log(settings_.uart_log, error);
        if (!error.empty()) {
            complain(error + "; the UART output is dropped");
        }
        int uart[2];
        if (::pipe2(uart, O_CLOEXEC) != 0) {
            if (log_fd >= 0) {
                ::close(log_fd);
            }
            complain(std::string("cannot create a pipe: ") + std::strerror(errno));
            return;
        }
        error.clear();
        session->process = std::make_unique<ChildProcess>(
            settings_.program,
            std::vector<std::string>{"-t", "8051", "-X", "11.0592M", "-b", "-P", "-c",
                                     session->console.device(), "-S",
                                     "out=/dev/fd/" + std::to_string(uart[1]), image.string()},
            uart[1], error);
        ::close(uart[1]);
        session->relay = std::make_unique<UartRelay>(uart[0], log_fd);
        if (!error.empty()) {
            complain(error + "; the 8051 does not run");
            return;
        }

        // The first prompt comes once the image is loaded.
        auto& console = session->console;
        const auto answer = settings_.answer_time;
        if (!console.read_prompt(answer)) {
            complain("the simulator did not answer on its console; the 8051 does not run");
            return;
        }
        if (!console.send(kMapDataOntoCode) ||
            !silent_answer(console.read_prompt(answer), kMapDataOntoCode)) {
            complain("the simulator refused the memory mapping; the 8051 does not run");
            return;
        }
        if (!console.send("run") || !console.wait_for("Simulation started", answer)) {
            complain("the simulator did not start; the 8051 does not run");
            return;
        }
        session_ = std::move(session);
    } catch (const std::exception& e) {
        complain(std::string(e.what()) + "; the 8051 does not run");
    }
}

void S51Cpu::hold(BoardRam ram) {
    if (!session_) {
        return;
    }
    try {
        auto& console = session_->console;
        auto& process = *session_->process;
        const auto answer = settings_.answer_time;
        std::array<std::uint8_t, kBoardRamSize> memory{};
        std::array<std::uint8_t, 0x100> sfr{};
        bool have_memory = false;
        bool have_ports = false;
        std::string trouble;  // one line on standard error, the first thing that went wrong
        if (process.exited()) {
            trouble = "the simulator had ended by itself; the board's RAM keeps what it held";
        } else {
            // Whatever the simulator printed on its own (a stop at a bad
            // instruction, say) is of no use here.
            console.discard_pending();
            if (console.send("stop") && console.read_prompt(answer)) {
                have_memory = dump_region(console, "rom", 0x0000, kBoardRamSize, memory, answer);
                have_ports = have_memory && dump_region(console, "sfr", 0x80, 0x31, sfr, answer);
                console.send("kill");
                if (!have_memory) {
                    trouble =
                        "could not read the 8051's memory back; the board's RAM keeps what "
                        "it held";
                } else if (!have_ports) {
                    trouble = "could not read the 8051's port latches";
                }
            } else {
                trouble =
                    "the simulator did not stop when told; the board's RAM keeps what it "
                    "held";
            }
        }
        if (!process.finish(answer) && trouble.empty()) {
            trouble = "the simulator did not end when told; it was killed";
        }
        session_.reset();  // also waits for the last of the UART output

        if (have_memory) {
            std::copy(memory.begin(), memory.end(), ram.begin());
        }
        if (have_ports) {
            write_ports_file(settings_.ports_file,
                             PortLatches{sfr[0x80], sfr[0x90], sfr[0xA0], sfr[0xB0]});
        }
        if (!trouble.empty()) {
            complain(trouble);
        }
    } catch (const std::exception& e) {
        session_.reset();
        complain(e.what());
    }
}

}  // namespace dlportio
