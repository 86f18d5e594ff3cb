// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Running the board's RAM on s51: start, watch, stop, read back.
#include "s51_cpu.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "child_process.h"
#include "intel_hex_image.h"
#include "messages.h"
#include "posix/fd.h"
#include "ram_file.h"
#include "ram_image.h"
#include "s51_answers.h"
#include "s51_commands.h"
#include "s51_session.h"
#include "uart_relay.h"
#include "vandrel_sim.h"

namespace sim {

namespace {

// The 8051's internal RAM starts with pseudo-random bytes; one fixed seed
// makes every run of the same firmware the same.
constexpr std::string_view kRandomSeed = "1";

void complain(const std::string& what) {
    tell("s51: " + what);
}

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

void append_to_log(const std::string& path, std::uint8_t byte) {
    if (path.empty()) {
        return;
    }
    const quillon::posix::Fd log(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (!log.valid() || ::write(log.get(), &byte, 1) != 1) {
        complain("cannot write the UART log " + path + ": " + std::strerror(errno));
    }
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The end of the answers to the questions of a stop, after `from`: past the
// closing number's line and the prompt after it; npos before.
std::size_t answered(const std::string& text, std::size_t from) {
    const std::string line = std::string(kStopAnswered) + "\n";
    for (std::size_t at = text.find(line, from); at != std::string::npos;
         at = text.find(line, at + 1)) {
        if (at > 0 && (text[at - 1] == '\n' || text[at - 1] == '\0')) {
            const std::size_t prompt = text.find('\0', at + line.size());
            return prompt != std::string::npos ? prompt + 1 : prompt;
        }
    }
    return std::string::npos;
}

// The watch of the session that an event break is, if it is one.
std::optional<std::tuple<int, unsigned, char>> watch_of(const S51Session& session,
                                                        const StopLine& stop) {
    if (stop.code != kEventBreak || session.watches.empty()) {
        return std::nullopt;
    }
    const int space = stop.event_space == "xram"   ? SIMBOARD_XDATA
                      : stop.event_space == "iram" ? SIMBOARD_IDATA
                      : stop.event_space == "rom"  ? SIMBOARD_CODE
                                                   : -1;
    const char access = stop.event_kind == "read" ? 'r' : stop.event_kind == "write" ? 'w' : 0;
    const std::tuple<int, unsigned, char> key{space, stop.event_address, access};
    if (!session.watches.contains(key)) {
        return std::nullopt;
    }
    return key;
}

// The stops whose breakpoint brings the questions with it.
bool ends_with_questions(const StopLine& stop) {
    return stop.code == kEventBreak &&
           ((stop.event_space == "sfr" && stop.event_address != kSbuf) ||
            stop.event_space == "variables");
}

bool sent_byte(const StopLine& stop) {
    return stop.code == kEventBreak && stop.event_space == "sfr" && stop.event_address == kSbuf;
}

bool ends_with(const std::string& sent, const std::string& text) {
    return !text.empty() && sent.ends_with(text);
}

// The answer without what loading the image and looking at its holes print.
std::string without_loads(std::string_view text) {
    std::string kept;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(std::string_view("\n\0", 2));
        const std::string_view line =
            text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        const bool load = line.starts_with("Loading from ") ||
                          line.find(" words read from ") != std::string_view::npos ||
                          (line.starts_with("0x") && !holes_in(line, 0).empty());
        if (!load) {
            kept += line;
        }
    }
    return kept;
}

// The library that ends the simulator's idle sleep when its console has
// input (s51_wake.c): beside the board's library, where it is installed, or
// in the build tree. Empty when there is none, and the simulator then idles
// as it does by itself.
std::string wake_library() {
    static const char anchor = 0;
    std::vector<std::filesystem::path> places;
    Dl_info info{};
    if (::dladdr(&anchor, &info) != 0 && info.dli_fname != nullptr) {
        places.push_back(std::filesystem::path(info.dli_fname).parent_path() /
                         "libquillon-s51-wake.so");
    }
#if defined(QUILLON_S51_WAKE_INSTALLED) && defined(QUILLON_S51_WAKE_BUILT)
    places.emplace_back(QUILLON_S51_WAKE_INSTALLED);
    places.emplace_back(QUILLON_S51_WAKE_BUILT);
#endif
    for (const auto& place : places) {
        std::error_code ec;
        const std::string name = place.string();
        // The loader splits its list at blanks and colons.
        if (place.is_absolute() && std::filesystem::is_regular_file(place, ec) &&
            name.find_first_of(" :") == std::string::npos) {
            return name;
        }
    }
    return {};
}

std::vector<std::string> wake_environment(const std::string& console) {
    const std::string library = wake_library();
    if (library.empty()) {
        return {};
    }
    const char* theirs = std::getenv("LD_PRELOAD");
    return {"LD_PRELOAD=" + library + (theirs && *theirs ? std::string(":") + theirs : ""),
            "QUILLON_S51_CONSOLE=" + console};
}

}  // namespace

std::string port_latches_text(const PortLatches& latches) {
    char text[64];
    std::snprintf(text, sizeof text, "P0=0x%02X\nP1=0x%02X\nP2=0x%02X\nP3=0x%02X\n", latches.p0,
                  latches.p1, latches.p2, latches.p3);
    return text;
}

S51Cpu::S51Cpu(S51Settings settings) : settings_(std::move(settings)) {}

S51Cpu::~S51Cpu() = default;

void S51Cpu::run(BoardRam ram) {
    session_.reset();  // a simulator left over from an unpaired edge has nothing to hand back
    if (pty_) {
        pty_->feed(-1);
    }
    report_ = RunReport{};
    sent_.clear();
    unsent_.reset();
    try {
        auto session = std::make_unique<S51Session>();
        if (start(*session, ram)) {
            session_ = std::move(session);
            report_.running = !plan_.debug;
            report_.paused = plan_.debug;
        } else {
            report_.end = SIMBOARD_FAILED;
            report_.text = "the 8051 did not start";
        }
    } catch (const std::exception& e) {
        complain(std::string(e.what()) + "; the 8051 does not run");
        report_.end = SIMBOARD_FAILED;
        report_.text = "the 8051 did not start";
    }
}

// The ends of the simulated UART on our side, opened before the simulator starts.
struct S51Cpu::UartEnds {
    quillon::posix::Fd log;       // the UART log, appended to
    quillon::posix::Fd input;     // what the firmware receives
    quillon::posix::Fd terminal;  // the pseudo-terminal's output side
};

bool S51Cpu::start(S51Session& session, std::span<const std::uint8_t, kBoardRamSize> ram) {
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
    session.layout = layout_of(ram);
    std::vector<std::string> setup;
    if (!write_run_files(session, ram, setup)) {
        return false;
    }
    UartEnds uart;
    if (!open_uart(uart, setup)) {
        return false;
    }
    return spawn(session, std::move(uart.log), std::move(uart.input), std::move(uart.terminal)) &&
           begin(session, std::move(setup));
}

namespace {

bool write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush()) {
        complain("cannot write " + path.string() + "; the 8051 does not run");
        return false;
    }
    return true;
}

}  // namespace

// The RAM as an image for the simulator to load, the questions of its stop
// and, with a budget, the events that end the run; the set-up lines that use
// them go to `setup`.
bool S51Cpu::write_run_files(S51Session& session, std::span<const std::uint8_t, kBoardRamSize> ram,
                             std::vector<std::string>& setup) const {
    const auto& folder = session.folder.path();
    const auto image = folder / "board-ram.ihx";
    session.after_stop = (folder / "after-stop.cmd").string();
    if (!write_file(image, kept_records(ram, session.layout)) ||
        !write_file(session.after_stop, after_stop_script(session.layout))) {
        return false;
    }
    std::string events;
    if (plan_.cycles > 0) {
        const auto budget = folder / "budget.vcd";
        if (!write_file(budget, budget_events(plan_.cycles))) {
            return false;
        }
        events = budget.string();
    }
    const bool watch_sent = !plan_.debug && (!plan_.until_uart.empty() || !plan_.fail_uart.empty());
    setup = run_setup(session.layout, image.string(), session.after_stop, events, watch_sent);
    return true;
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
        setup.emplace_back(kUartInputPaced);
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

// Starts the simulator, its UART output into a pipe that the relay copies to
// the log and the terminal; the set-up loads the image. The simulator's own
// interface stays off: the firmware's exit is a breakpoint of ours (run_setup).
bool S51Cpu::spawn(S51Session& session, quillon::posix::Fd log, quillon::posix::Fd input,
                   quillon::posix::Fd terminal) {
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
    std::string error;
    session.process = std::make_unique<ChildProcess>(
        settings_.program,
        std::vector<std::string>{"-t", "8051", "-X", "11.0592M", "-R", std::string(kRandomSeed),
                                 "-b", "-P", "-c", session.console.device(), "-S", serial},
        inherited, error, wake_environment(session.console.device()));
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
// commands. A debugged run takes a look at the 8051 instead of the run. The
// image the set-up loads and its holes print lines of their own.
bool S51Cpu::begin(S51Session& session, std::vector<std::string> setup) {
    auto& console = session.console;
    const auto answer = settings_.answer_time;
    if (plan_.debug) {
        const auto look = as_lines(kSnapshot);
        setup.insert(setup.end(), look.begin(), look.end());
        setup.push_back(session.marker_command());
    } else {
        setup.emplace_back("run");
    }
    if (!console.send(console_script(setup)) || !console.read_prompt(answer)) {
        complain("the simulator did not answer on its console; the 8051 does not run");
        return false;
    }
    const auto said = plan_.debug ? console.read(answer, session.marker_end())
                                  : console.read_through("Simulation started", answer);
    const std::string text = said ? *said : console.take_pending();
    const std::size_t looked = plan_.debug ? text.find("CPU state=") : std::string::npos;
    const std::string_view answered = std::string_view(text).substr(0, looked);
    session.hole_slack = hole_slack(answered, session.layout).value_or(0);
    const std::string refused =
        unexpected_answer(without_loads(answered), setup, {"1", "Simulation started"});
    if (!refused.empty()) {
        complain(std::string(plan_.cycles > 0 ? "the simulator refused the memory mapping or the "
                                                "budget ("
                                              : "the simulator refused the memory mapping (") +
                 refused + "); the 8051 does not run");
        return false;
    }
    if (!said) {
        complain(std::string(plan_.debug ? "the simulator did not answer"
                                         : "the simulator did not start") +
                 "; the 8051 does not run");
        return false;
    }
    session.started = std::chrono::steady_clock::now();
    if (plan_.debug) {
        session.paused = true;
        session.note_snapshot(text);
    }
    return true;
}

bool S51Cpu::note_stop(S51Session& session, const std::string& text) {
    const auto stop = find_stop(text);
    if (!stop) {
        return false;
    }
    // What the firmware sent before it stopped is in the log before the stop
    // is told.
    if (session.relay) {
        session.relay->drain();
    }
    report_.running = false;
    report_.pc = stop->pc;
    const std::string_view before = std::string_view(text).substr(0, stop->begin);
    session.watched = watch_of(session, *stop);
    if (plan_.debug && (stop->code == kBreakpoint || session.watched ||
                        (stop->code == kUserStopped && session.pause_asked))) {
        session.paused = true;
        session.pause_asked = false;
        report_.paused = true;
        if (stop->code == kBreakpoint || session.watched) {
            session.note_snapshot(before);
        }
        // A breakpoint without the look attached: asked for now, so that the
        // stop tells its own clocks.
        if (!session.have_snapshot) {
            if (const auto said = ask(as_lines(kSnapshot))) {
                session.note_snapshot(*said);
            }
        }
        if (session.have_snapshot) {
            report_.cycles = session.clocks / kClocksPerCycle;
        }
        return true;
    }
    if (sent_byte(*stop)) {
        return note_sent(session, before);
    }
    session.stopped = true;
    report_.wall_seconds = seconds_since(session.started);
    const std::string_view after = std::string_view(text).substr(stop->begin);
    if (stop->code == kEventBreak && stop->event_space == "sfr") {
        report_.end = SIMBOARD_EXITED;
        note_after_stop(session, after);
    } else if (stop->code == kEventBreak && stop->event_space == "variables") {
        report_.end = SIMBOARD_BUDGET;
        note_after_stop(session, after);
    } else if (stop->code == kUserStopped) {
        report_.end = SIMBOARD_HELD;  // only this program writes to the console
    } else {
        char where[16];
        std::snprintf(where, sizeof where, "%06x", stop->pc);
        report_.end = SIMBOARD_FAILED;
        report_.text = std::string("the 8051 stopped at 0x") + where + ": " + stop->reason;
    }
    return true;
}

bool S51Cpu::note_sent(S51Session& session, std::string_view text) {
    const auto byte = transmitted_byte(text);
    const std::size_t longest = std::max(plan_.until_uart.size(), plan_.fail_uart.size());
    if (byte) {
        sent_ += static_cast<char>(*byte);
        if (sent_.size() > longest) {
            sent_.erase(0, sent_.size() - longest);
        }
    }
    // The failure counts first should both texts end with this byte.
    const int found = ends_with(sent_, plan_.fail_uart)    ? SIMBOARD_FAIL_TEXT
                      : ends_with(sent_, plan_.until_uart) ? SIMBOARD_UNTIL_TEXT
                                                           : 0;
    if (byte && found == 0) {
        // Not yet: on it runs, the stop unseen by anyone but us.
        if (session.console.send(console_script({"run"}))) {
            report_.running = true;
            return true;
        }
    }
    session.stopped = true;
    report_.wall_seconds = seconds_since(session.started);
    if (found != 0) {
        report_.end = SIMBOARD_UART_TEXT;
        report_.uart_text = found;
        unsent_ = *byte;
    } else {
        report_.end = SIMBOARD_FAILED;
        report_.text = byte ? "the simulator did not take up the run again"
                            : "the simulator did not tell the byte the firmware sent";
    }
    return true;
}

void S51Cpu::note_after_stop(S51Session& session, std::string_view text) {
    session.asked = true;
    if (const auto clocks = clocks_in(text)) {
        report_.cycles = *clocks / kClocksPerCycle;
    }
    auto dumps = dumps_in(text);
    if (dumps.empty()) {
        return;
    }
    session.have_ports = store_dump(dumps.front(), 0x80, session.sfr);
    if (session.have_ports && report_.end == SIMBOARD_EXITED) {
        report_.result = session.sfr[VANDREL_SIM_RESULT_SFR];
    }
    // The memory: the fill where the holes are, the dumps over the rest, and
    // what neither covers (the firmware wrote into a hole) asked for now.
    dumps.erase(dumps.begin());
    session.memory = session.started_on;
    const std::vector<Range> holes = holes_in(text, session.hole_slack);
    std::vector<Range> missing = merge_stop(session.memory, session.layout.fill, holes, dumps);
    if (!missing.empty()) {
        std::vector<std::string> lines = dump_commands(missing);
        lines.push_back(session.marker_command());
        const auto said = converse(std::move(lines), session.marker_end());
        if (said) {
            missing = merge_stop(session.memory, session.layout.fill, {}, dumps_in(*said), missing);
        }
    }
    session.have_memory = missing.empty();
}

bool S51Cpu::note_log_failure() {
    const int error = log_error_.load();
    if (error == 0) {
        return false;
    }
    report_.running = false;
    report_.paused = false;
    report_.end = SIMBOARD_FAILED;
    report_.text = "cannot write the UART log " + settings_.uart_log + ": " + std::strerror(error);
    return true;
}

RunReport S51Cpu::poll() {
    if (!session_ || session_->stopped || session_->paused) {
        return report_;
    }
    try {
        S51Session& session = *session_;
        if (session.process->exited()) {
            session.stopped = true;
            report_.running = false;
            report_.end = SIMBOARD_FAILED;
            report_.text = "the simulator ended by itself";
            return report_;
        }
        if (note_log_failure()) {
            return report_;
        }
        // The answers to the commands that a stop runs come first, then the
        // stop line, then the prompt that closes what the stop printed.
        std::string& printed = session.printed;
        printed += session.console.take_pending();
        if (const auto stop = find_stop(printed);
            stop && (!ends_with_questions(*stop) || answered(printed, stop->begin)) &&
            note_stop(session, printed)) {
            printed.clear();
        } else if (printed.size() > kMaxPrinted) {
            printed.erase(0, printed.size() - kMaxPrinted);
        }
    } catch (const std::exception& e) {
        complain(e.what());
    }
    return report_;
}

void S51Cpu::wait(std::chrono::milliseconds timeout) {
    if (!session_ || session_->stopped || session_->paused || session_->console.has_pending()) {
        return;
    }
    S51Session& session = *session_;
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

// A running simulator looks at its console only now and then and stops when
// it finds a line there, dropping one: two stops, then the questions, all in
// one write, so that it answers as it stops. A paused one is asked at once.
void S51Cpu::stop_for_hold(S51Session& session) {
    auto& console = session.console;
    if (session.paused) {
        if (const auto said = ask({exec_command(session.after_stop)}, kStopAnswered)) {
            session.stopped = true;
            session.paused = false;
            report_.paused = false;
            report_.end = SIMBOARD_HELD;
            report_.wall_seconds = seconds_since(session.started);
            note_after_stop(session, *said);
        }
        return;
    }
    if (!console.send(console_script({"stop", "stop", exec_command(session.after_stop)}))) {
        return;
    }
    const auto said = console.read(settings_.answer_time, [](const std::string& got) {
        const auto stop = find_stop(got);
        return stop ? answered(got, stop->begin) : std::string::npos;
    });
    if (!said) {
        return;
    }
    const std::string text = session.printed + *said;
    session.printed.clear();
    session.pause_asked = false;
    const auto stop = find_stop(text);
    if (stop && note_stop(session, text)) {
        session.paused = false;
        report_.paused = false;
        session.stopped = true;
        if (report_.end == SIMBOARD_NOT_ENDED) {
            report_.end = SIMBOARD_HELD;
        }
        if (!session.asked) {
            note_after_stop(session, std::string_view(text).substr(stop->begin));
        }
    }
}

void S51Cpu::hold(BoardRam ram) {
    if (!session_) {
        return;
    }
    try {
        S51Session& session = *session_;
        std::string trouble;  // one line on standard error, the first thing that went wrong
        poll();
        if (session.process->exited()) {
            trouble = "the simulator had ended by itself; the board's RAM keeps what it held";
            report_.end = SIMBOARD_FAILED;
            report_.text = "the simulator ended by itself";
        } else {
            if (!session.stopped) {
                stop_for_hold(session);
            } else if (!session.asked) {
                std::vector<std::string> lines{exec_command(session.after_stop)};
                const auto said = converse(std::move(lines),
                                           [](const std::string& got) { return answered(got, 0); });
                if (said) {
                    note_after_stop(session, *said);
                }
            }
            if (!session.stopped) {
                trouble =
                    "the simulator did not stop when told; the board's RAM keeps what it held";
            } else if (!session.have_memory) {
                trouble =
                    "could not read the 8051's memory back; the board's RAM keeps what it held";
            }
            if (!session.have_ports && trouble.empty()) {
                trouble = "could not read the 8051's port latches";
            }
        }
        hand_back(session, ram);
        if (!trouble.empty()) {
            complain(trouble);
            if (!plan_.debug && report_.end != SIMBOARD_FAILED) {
                // A verdict over memory or ports not read back would stand on
                // the image as uploaded.
                report_.end = SIMBOARD_FAILED;
                report_.text = trouble;
            }
        }
    } catch (const std::exception& e) {
        session_.reset();
        report_.running = false;
        report_.paused = false;
        complain(e.what());
    }
}

void S51Cpu::hand_back(S51Session& session, BoardRam ram) {
    // Everything is read: the simulator is ended at once rather than told
    // to, which it would only see at its next look at the console.
    session.process->finish(std::chrono::milliseconds(0));
    const bool have_memory = session.have_memory;
    const bool have_ports = session.have_ports;
    const auto started_on = session.started_on;
    const auto memory = session.memory;
    const auto sfr = session.sfr;
    session_.reset();  // also waits for the last of the UART output
    if (unsent_) {
        // The text's last byte has left SBUF for the line: the log shows it whole.
        append_to_log(settings_.uart_log, *unsent_);
        unsent_.reset();
    }
    if (pty_) {
        pty_->feed(-1);  // typing reaches no 8051 until the next run
    }
    report_.running = false;
    report_.paused = false;
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
}

}  // namespace sim
