// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Running the board's RAM on s51: start, watch, stop, read back.
#include "s51_cpu.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "child_process.h"
#include "intel_hex_image.h"
#include "messages.h"
#include "posix/fd.h"
#include "ram_file.h"
#include "sim_console.h"
#include "uart_relay.h"
#include "vandrel_sim.h"

namespace sim {

namespace {

constexpr std::string_view kEndRecord = ":00000001FF";
// Von Neumann wiring: the firmware's external data memory is the same 32 KB
// that holds its code.
constexpr std::string_view kMapDataOntoCode =
    "memory create addressdecoder xram 0 0x7fff rom_chip 0";
// The 8051's internal RAM starts with pseudo-random bytes; one fixed seed
// makes every run of the same firmware the same.
constexpr std::string_view kRandomSeed = "1";
// Stop reasons the simulator prints: "Stop at 0x00007d: (110) Program stopped itself".
constexpr int kStoppedItself = 110;
constexpr int kBreakpoint = 104;
constexpr int kUserStopped = 105;

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
        const int reason = errno;
        error = "cannot open the UART log " + path + ": " + std::strerror(reason);
        errno = reason;
    }
    return fd;
}

// What the stopped 8051 left: its cycles, port latches (with the result
// register) and memory, asked for in one write. The idle simulator looks at
// its console only now and then, so each further command would wait for its
// next look.
constexpr std::string_view kAfterStop = "state\ndump /i sfr 0x80 0xff\ndump /i rom 0x0 0x7fff";

// Lines for the console in one piece. The simulator reads its console 99 bytes
// at a time and takes a line cut by that boundary as two, and pauses before
// the second: a line that would cross it starts on it instead, the line before
// padded with blanks.
std::string console_script(const std::vector<std::string>& lines) {
    constexpr std::size_t kConsoleRead = 99;
    std::string script;
    for (const std::string& line : lines) {
        const std::size_t used = script.size() % kConsoleRead;
        if (!script.empty() && used + line.size() + 1 > kConsoleRead &&
            line.size() + 1 <= kConsoleRead) {
            script.insert(script.size() - 1, kConsoleRead - used, ' ');
        }
        script += line + '\n';
    }
    script.pop_back();  // send() ends the last line
    return script;
}

// The dump of `size` bytes in the answer, stored at their addresses.
template <std::size_t N>
bool parse_dump(const std::optional<std::string>& answer, std::size_t size,
                std::array<std::uint8_t, N>& image) {
    const auto stored = answer ? parse_intel_hex(*answer, image) : std::nullopt;
    return stored && *stored == size;
}

// Commands that worked answer with nothing but their own echo (and, for a
// few, a line of `expected` text) and a prompt; a refused one prints its usage
// or an error. Returns the first line that is none of these, empty if none.
std::string unexpected_answer(const std::string& answer, const std::vector<std::string>& commands,
                              std::initializer_list<std::string_view> expected = {}) {
    std::string_view rest = answer;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of(std::string_view("\n\0", 2));
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && std::find(commands.begin(), commands.end(), line) == commands.end() &&
            std::find(expected.begin(), expected.end(), line) == expected.end()) {
            return std::string(line);
        }
    }
    return {};
}

// The budget as a value-change file the simulator replays: its one event, half
// a machine cycle before the budget's end, breaks the run at the first
// instruction boundary at or past it.
std::string budget_events(std::uint64_t cycles) {
    static_assert(kBoardClockHz == 11059200 && kClocksPerCycle == 12);
    // (cycles - 1/2) * 12 / 11059200 s = (2 * cycles - 1) / 1843200 s, and
    // 10^15 / 1843200 = 122070312500 / 225 exactly.
    constexpr std::uint64_t kNumerator = 122070312500;
    constexpr std::uint64_t kDenominator = 225;
    const std::uint64_t halves = 2 * cycles - 1;
    const std::uint64_t at =
        halves / kDenominator * kNumerator + halves % kDenominator * kNumerator / kDenominator;
    return "$timescale 1 fs $end\n$scope module budget $end\n$var wire 1 ! quillon_budget $end\n"
           "$upscope $end\n$enddefinitions $end\n#" +
           std::to_string(at) + "\n1!\n";
}

// Words ucsim's strings take as they stand: no quote or backslash to escape.
bool plain_path(const std::string& path) {
    return path.find_first_of("\"\\") == std::string::npos;
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
    TempFolder folder;
    std::array<std::uint8_t, kBoardRamSize> started_on{};  // the RAM as the 8051 found it
    std::chrono::steady_clock::time_point started;
    std::unique_ptr<UartRelay> relay;
    std::unique_ptr<ChildProcess> process;
    std::string printed;  // what the simulator printed on its own since it started
    bool stopped = false;
    bool asked = false;                                // kAfterStop was answered, well or not
    std::array<std::uint8_t, kBoardRamSize> memory{};  // the 8051's memory at its stop
    std::array<std::uint8_t, 0x100> sfr{};             // indexed by address
    bool have_memory = false;
    bool have_ports = false;
};

S51Cpu::S51Cpu(S51Settings settings) : settings_(std::move(settings)) {}

S51Cpu::~S51Cpu() = default;

void S51Cpu::run(BoardRam ram) {
    session_.reset();  // a simulator left over from an unpaired edge has nothing to hand back
    if (pty_) {
        pty_->feed(-1);
    }
    report_ = RunReport{};
    try {
        auto session = std::make_unique<Session>();
        if (start(*session, ram)) {
            session_ = std::move(session);
            report_.running = true;
        } else {
            report_.end = RunEnd::failed;
            report_.text = "the 8051 did not start";
        }
    } catch (const std::exception& e) {
        complain(std::string(e.what()) + "; the 8051 does not run");
        report_.end = RunEnd::failed;
        report_.text = "the 8051 did not start";
    }
}

// The ends of the simulated UART on our side, opened before the simulator starts.
struct S51Cpu::UartEnds {
    quillon::posix::Fd log;       // the UART log, appended to
    quillon::posix::Fd input;     // what the firmware receives
    quillon::posix::Fd terminal;  // the pseudo-terminal's output side
};

namespace {

// Every cycle, not now and then: bytes then arrive at the baud rate the
// firmware set, in simulated time.
constexpr std::string_view kUartInputEveryCycle = "expression uart0_check_often=1";

}  // namespace

bool S51Cpu::start(Session& session, std::span<const std::uint8_t, kBoardRamSize> ram) {
    if (!session.console.valid()) {
        complain(session.error + "; the 8051 does not run");
        return false;
    }
    const auto& folder = session.folder.path();
    if (folder.empty() || !plain_path(folder.string())) {
        complain("cannot create a temporary folder; the 8051 does not run");
        return false;
    }
    std::copy(ram.begin(), ram.end(), session.started_on.begin());
    std::vector<std::string> setup{std::string(kMapDataOntoCode)};
    const auto image = write_run_files(folder, ram, setup);
    if (!image) {
        return false;
    }
    UartEnds uart;
    if (!open_uart(uart, setup)) {
        return false;
    }
    return spawn(session, *image, std::move(uart.log), std::move(uart.input),
                 std::move(uart.terminal)) &&
           begin(session, std::move(setup));
}

// The RAM as an image for the simulator to load and, with a budget, the
// events that end the run; the console lines that set the budget go to `setup`.
std::optional<std::filesystem::path> S51Cpu::write_run_files(
    const std::filesystem::path& folder, std::span<const std::uint8_t, kBoardRamSize> ram,
    std::vector<std::string>& setup) const {
    const auto image = folder / "board-ram.ihx";
    {
        std::ofstream out(image, std::ios::binary);
        out << to_intel_hex(ram);
        if (!out.flush()) {
            complain("cannot write " + image.string() + "; the 8051 does not run");
            return std::nullopt;
        }
    }
    if (plan_.cycles > 0) {
        const auto events = folder / "budget.vcd";
        std::ofstream out(events);
        out << budget_events(plan_.cycles);
        if (!out.flush()) {
            complain("cannot write " + events.string() + "; the 8051 does not run");
            return std::nullopt;
        }
        setup.insert(setup.end(),
                     {"var quillon_budget", "set hw vcd[0] input \"" + events.string() + "\"",
                      "set hw vcd[0] break", "set hw vcd[0] start"});
    }
    return image;
}

bool S51Cpu::open_uart(UartEnds& uart, std::vector<std::string>& setup) {
    std::string error;
    log_error_ = 0;
    uart.log = quillon::posix::Fd(open_log(settings_.uart_log, error));
    if (!error.empty()) {
        log_error_ = errno != 0 ? errno : EIO;
    }
    if (!plan_.uart_input.empty()) {
        // The simulator opens the input again through /dev/fd: a FIFO held
        // open for writing as well then never waits for a writer, nor loses
        // what one wrote and closed before that.
        struct stat info {};
        const bool fifo = ::stat(plan_.uart_input.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
        uart.input = quillon::posix::Fd(
            ::open(plan_.uart_input.c_str(), (fifo ? O_RDWR : O_RDONLY) | O_CLOEXEC));
        if (!uart.input.valid()) {
            complain("cannot open the UART input " + plan_.uart_input + ": " +
                     std::strerror(errno) + "; the 8051 does not run");
            return false;
        }
        setup.emplace_back(kUartInputEveryCycle);
        return true;
    }
    if (settings_.uart_link.empty()) {
        return true;
    }
    if (!pty_) {
        std::string why;
        auto pty = std::make_unique<UartPty>(settings_.uart_link, why);
        if (pty->valid()) {
            complain("the 8051's UART is " + pty->device() +
                     (settings_.uart_link.find('/') != std::string::npos
                          ? " (linked at " + settings_.uart_link + ")"
                          : std::string()));
            pty_ = std::move(pty);
        }
        if (!why.empty()) {
            complain(why);
        }
    }
    int typed[2];
    if (pty_ && ::pipe2(typed, O_CLOEXEC) == 0) {
        uart.input = quillon::posix::Fd(typed[0]);
        pty_->feed(typed[1]);
        uart.terminal = quillon::posix::Fd(pty_->output());
        setup.emplace_back(kUartInputEveryCycle);
    }
    return true;
}

// Starts the simulator on the image, its UART output into a pipe that the
// relay copies to the log and the terminal.
bool S51Cpu::spawn(Session& session, const std::filesystem::path& image, quillon::posix::Fd log,
                   quillon::posix::Fd input, quillon::posix::Fd terminal) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        complain(std::string("cannot create a pipe: ") + std::strerror(errno));
        return false;
    }
    quillon::posix::Fd from_uart(ends[0]);
    // Ours closes once the simulator has its copy: the relay then sees its end.
    const quillon::posix::Fd to_uart(ends[1]);
    std::string serial = "out=/dev/fd/" + std::to_string(to_uart.get());
    std::vector<int> inherited{to_uart.get()};
    if (input.valid()) {
        serial += ",in=/dev/fd/" + std::to_string(input.get());
        inherited.push_back(input.get());
    }
    char interface[32];
    std::snprintf(interface, sizeof interface, "if=sfr[0x%X]", VANDREL_SIM_COMMAND_SFR);
    std::string error;
    session.process = std::make_unique<ChildProcess>(
        settings_.program,
        std::vector<std::string>{"-t", "8051", "-X", "11.0592M", "-R", std::string(kRandomSeed),
                                 "-b", "-P", "-c", session.console.device(), "-I", interface, "-S",
                                 serial, image.string()},
        inherited, error);
    session.relay = std::make_unique<UartRelay>(std::move(from_uart), std::move(log),
                                                std::move(terminal), &log_error_);
    if (!error.empty()) {
        complain(error + "; the 8051 does not run");
        return false;
    }
    return true;
}

// The set-up and the run go in one write before the simulator reads its
// console: it then takes them all at its first look, without idling between
// commands. The commands are silent but for these answers.
bool S51Cpu::begin(Session& session, std::vector<std::string> setup) {
    auto& console = session.console;
    const auto answer = settings_.answer_time;
    setup.emplace_back("run");
    if (!console.send(console_script(setup)) || !console.read_prompt(answer)) {
        complain("the simulator did not answer on its console; the 8051 does not run");
        return false;
    }
    const auto said = console.read_through("Simulation started", answer);
    const std::string refused =
        unexpected_answer(said ? *said : console.take_pending(), setup,
                          {"Break on events enabled", "1", "Simulation started"});
    if (!refused.empty()) {
        complain(std::string(plan_.cycles > 0 ? "the simulator refused the memory mapping or the "
                                                "budget ("
                                              : "the simulator refused the memory mapping (") +
                 refused + "); the 8051 does not run");
        return false;
    }
    if (!said) {
        complain("the simulator did not start; the 8051 does not run");
        return false;
    }
    session.started = std::chrono::steady_clock::now();
    return true;
}

bool S51Cpu::note_stop(Session& session, const std::string& text) {
    static const std::regex stop_line(R"(Stop at 0x([0-9a-fA-F]+): \((\d+)\) ([^\r\n]*))");
    std::smatch found;
    if (!std::regex_search(text, found, stop_line)) {
        return false;
    }
    session.stopped = true;
    report_.running = false;
    report_.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
    const int code = std::stoi(found[2].str());
    if (code == kStoppedItself) {
        report_.end = RunEnd::exited;
    } else if (code == kBreakpoint && plan_.cycles > 0) {
        report_.end = RunEnd::budget;
    } else if (code == kUserStopped) {
        report_.end = RunEnd::held;  // only this program writes to the console
    } else {
        report_.end = RunEnd::failed;
        report_.text = "the 8051 stopped at 0x" + found[1].str() + ": " + found[3].str();
    }
    return true;
}

void S51Cpu::read_after_stop(Session& session) {
    static const std::regex clocks(R"(\((\d+) clks\))");
    session.asked = true;
    auto& console = session.console;
    const auto answer_time = settings_.answer_time;
    const auto state = console.read_prompt(answer_time);
    std::smatch found;
    if (state && std::regex_search(*state, found, clocks)) {
        report_.cycles = std::stoull(found[1].str()) / kClocksPerCycle;
    }
    session.have_ports =
        state && parse_dump(console.read_until(kEndRecord, answer_time), 0x80, session.sfr);
    session.have_memory =
        session.have_ports &&
        parse_dump(console.read_until(kEndRecord, answer_time), kBoardRamSize, session.memory);
    if (session.have_ports && report_.end == RunEnd::exited) {
        report_.result = session.sfr[VANDREL_SIM_RESULT_SFR];
    }
}

bool S51Cpu::note_log_failure() {
    const int error = log_error_.load();
    if (error == 0) {
        return false;
    }
    report_.running = false;
    report_.end = RunEnd::failed;
    report_.text = "cannot write the UART log " + settings_.uart_log + ": " + std::strerror(error);
    return true;
}

RunReport S51Cpu::poll() {
    if (!session_ || session_->stopped) {
        return report_;
    }
    try {
        Session& session = *session_;
        if (session.process->exited()) {
            session.stopped = true;
            report_.running = false;
            report_.end = RunEnd::failed;
            report_.text = "the simulator ended by itself";
            return report_;
        }
        if (note_log_failure()) {
            return report_;
        }
        // The stop line comes first, the prompt closes what the stop printed.
        std::string& printed = session.printed;
        printed += session.console.take_pending();
        const std::size_t stop = printed.find("Stop at ");
        if (stop == std::string::npos) {
            // Text of no interest (the firmware may print on this console);
            // keep only what may begin a stop line.
            constexpr std::size_t kKeep = 16;
            if (printed.size() > kKeep) {
                printed.erase(0, printed.size() - kKeep);
            }
        } else if (printed.find('\0', stop) != std::string::npos && note_stop(session, printed) &&
                   session.console.send(kAfterStop)) {
            read_after_stop(session);
        }
    } catch (const std::exception& e) {
        complain(e.what());
    }
    return report_;
}

void S51Cpu::wait(std::chrono::milliseconds timeout) {
    if (!session_ || session_->stopped || session_->console.has_pending()) {
        return;
    }
    Session& session = *session_;
    // The simulator prints its stop on the console; the relay tells of UART
    // output once it is in the log, and of the simulator's end.
    std::array<pollfd, 2> ready{
        {{session.console.fd(), POLLIN, 0}, {session.relay->activity_fd(), POLLIN, 0}}};
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX);
    if (::poll(ready.data(), ready.size(), static_cast<int>(ms)) > 0 &&
        (ready[1].revents & POLLIN) != 0) {
        session.relay->take_activity();
    }
}

void S51Cpu::hold(BoardRam ram) {
    if (!session_) {
        return;
    }
    try {
        Session& session = *session_;
        auto& console = session.console;
        auto& process = *session.process;
        std::string trouble;  // one line on standard error, the first thing that went wrong
        poll();
        if (process.exited()) {
            trouble = "the simulator had ended by itself; the board's RAM keeps what it held";
            report_.end = RunEnd::failed;
            report_.text = "the simulator ended by itself";
        } else {
            if (!session.stopped) {
                // A stop the simulator printed on its own just now shows in the
                // answer. The questions wait for it: a running simulator drops
                // the line that comes in with the stop.
                const auto said = console.send("stop") ? console.read_prompt(settings_.answer_time)
                                                       : std::nullopt;
                if (said && !note_stop(session, session.printed + *said)) {
                    session.stopped = true;
                    report_.end = RunEnd::held;
                    report_.wall_seconds = std::chrono::duration<double>(
                                               std::chrono::steady_clock::now() - session.started)
                                               .count();
                }
                if (said && console.send(kAfterStop)) {
                    read_after_stop(session);
                }
            } else if (!session.asked && console.send(kAfterStop)) {
                read_after_stop(session);
            }
            if (!session.stopped) {
                trouble =
                    "the simulator did not stop when told; the board's RAM keeps what it "
                    "held";
            } else if (!session.have_memory) {
                trouble =
                    "could not read the 8051's memory back; the board's RAM keeps what it held";
            }
            if (!session.have_ports && trouble.empty()) {
                trouble = "could not read the 8051's port latches";
            }
        }
        // Everything is read: the simulator is ended at once rather than told
        // to, which it would only see at its next look at the console.
        process.finish(std::chrono::milliseconds(0));
        const bool have_memory = session.have_memory;
        const bool have_ports = session.have_ports;
        const auto started_on = session.started_on;
        const auto memory = session.memory;
        const auto sfr = session.sfr;
        session_.reset();  // also waits for the last of the UART output
        if (pty_) {
            pty_->feed(-1);  // typing reaches no 8051 until the next run
        }
        report_.running = false;
        note_log_failure();

        if (have_memory) {
            // Only what the 8051 wrote: bytes another program stored in the
            // board's RAM meanwhile stay.
            for (std::size_t i = 0; i < kBoardRamSize; ++i) {
                if (memory[i] != started_on[i]) {
                    ram[i] = memory[i];
                }
            }
        }
        if (have_ports) {
            write_ports_file(settings_.ports_file,
                             PortLatches{sfr[0x80], sfr[0x90], sfr[0xA0], sfr[0xB0]});
            report_.result = sfr[VANDREL_SIM_RESULT_SFR];
        }
        if (!trouble.empty()) {
            complain(trouble);
        }
    } catch (const std::exception& e) {
        session_.reset();
        report_.running = false;
        complain(e.what());
    }
}

}  // namespace sim
