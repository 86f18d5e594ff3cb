// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The protocol's requests, each one row of a table, on the engine of the
// board the host launched.
#include "dap_server.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "arguments.h"
#include "breakpoint_rules.h"
#include "channel.h"
#include "memory_reference.h"
#include "next_instruction.h"
#include "uart_text.h"

namespace dap {

namespace {

using debugger::Space;
using debugger::Stop;
using nlohmann::json;

constexpr int kThread = 1;
constexpr int kGlobals = 1;
constexpr int kRegisters = 2;
constexpr int kPorts = 3;
constexpr int kFirstLocals = 1000;  // + the frame's index
constexpr int kFirstChild = 10000;
// The group of breakpoints that watch memory.
constexpr std::string_view kDataGroup = "data";

// The 8051's clock on the simulated board, for a budget given in seconds.
constexpr double kCyclesPerSecond = 11059200.0 / 12;

// The Ports scope: the port latches first, then the peripherals' registers.
struct Sfr {
    const char* name;
    unsigned address;
};
constexpr std::array kPortsScope{
    Sfr{"P0", 0x80},   Sfr{"P1", 0x90},   Sfr{"P2", 0xA0},  Sfr{"P3", 0xB0},  Sfr{"TCON", 0x88},
    Sfr{"TMOD", 0x89}, Sfr{"TL0", 0x8A},  Sfr{"TH0", 0x8C}, Sfr{"TL1", 0x8B}, Sfr{"TH1", 0x8D},
    Sfr{"SCON", 0x98}, Sfr{"SBUF", 0x99}, Sfr{"IE", 0xA8},  Sfr{"IP", 0xB8},  Sfr{"PCON", 0x87},
};

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// A request the server tells apart: its seq, its command, its arguments.
struct Call {
    const json& message;
    int seq;
    std::string command;
    Arguments args;
};

class Server;
using Handler = void (Server::*)(const Call&);

// When a request may come: before launch, while the 8051 runs, after the
// firmware's end.
enum When : unsigned { kBeforeLaunch = 1, kRunning = 2, kStopped = 4, kEnded = 8 };
constexpr unsigned kAlways = kBeforeLaunch | kRunning | kStopped | kEnded;
constexpr unsigned kLaunched = kStopped | kEnded;

struct Request {
    std::string_view name;
    Handler handle;
    unsigned when;
};

// What initialize announces: exactly the requests and options served.
constexpr std::array<std::string_view, 20> kCapabilities{
    "supportsConfigurationDoneRequest",
    "supportsFunctionBreakpoints",
    "supportsConditionalBreakpoints",
    "supportsHitConditionalBreakpoints",
    "supportsLogPoints",
    "supportsInstructionBreakpoints",
    "supportsSteppingGranularity",
    "supportsEvaluateForHovers",
    "supportsSetVariable",
    "supportsTerminateRequest",
    "supportTerminateDebuggee",
    "supportsRestartRequest",
    "supportsReadMemoryRequest",
    "supportsWriteMemoryRequest",
    "supportsLoadedSourcesRequest",
    "supportsBreakpointLocationsRequest",
    "supportsDataBreakpoints",
    "supportsDisassembleRequest",
    "supportsDelayedStackTraceLoading",
    "supportsValueFormattingOptions",
};

// A breakpoint as the editor set it, kept over a restart.
struct Placed {
    int id = 0;
    std::string place;  // for the engine: "t.c:18", "main", "*0x8a"
    BreakpointRule rule;
    int engine = 0;  // its number in the engine, 0 when it has no code
    json shown;      // the answer's entry for it
    // For a data breakpoint: what access stops, and the frame it names in.
    debugger::Breakpoint::Kind kind = debugger::Breakpoint::Kind::breakpoint;
};

// A value shown with members or elements, and how to name them again.
struct Child {
    debugger::Value value;
    std::string path;  // "where", "where.x", "table[2]"
    debugger::Frame frame;
};

class Server {
public:
    Server(Host& host, int in_fd, int out_fd) : host_(host), channel_(in_fd, out_fd) {}

    int serve() {
        while (!done_) {
            auto incoming = channel_.receive(-1);
            if (!incoming) {
                if (channel_.closed()) {
                    break;
                }
                continue;
            }
            take(*incoming);
        }
        if (!channel_.broken().empty()) {
            host_.complain("the editor's messages cannot be followed: " + channel_.broken());
            if (!board_) {
                exit_code_ = kExitBadStream;
            }
        }
        if (detach_ && board_ && !ended_) {
            run_detached();
        }
        end_session(true);
        return exit_code_;
    }

    // The table: a new request is one row.
    static const std::array<Request, 29> kRequests;

private:
    // ---- messages ----

    void event(const std::string& name, json body = json::object()) {
        channel_.send(
            {{"seq", ++seq_}, {"type", "event"}, {"event", name}, {"body", std::move(body)}});
    }
    void answer(int request_seq, const std::string& command, bool success, json body,
                const std::string& message = {}) {
        json response{{"seq", ++seq_},      {"type", "response"}, {"request_seq", request_seq},
                      {"success", success}, {"command", command}, {"body", std::move(body)}};
        if (!success) {
            response["message"] = message;
            response["body"] = {{"error", {{"id", 1}, {"format", message}, {"showUser", true}}}};
        }
        channel_.send(response);
    }
    void respond(const Call& call, json body = json::object()) {
        answer(call.seq, call.command, true, std::move(body));
    }
    void refuse(const Call& call, const std::string& message) {
        answer(call.seq, call.command, false, json::object(), message);
    }
    void output(const std::string& category, const std::string& text) {
        if (!text.empty()) {
            event("output", {{"category", category}, {"output", valid_utf8(text)}});
        }
    }
    // What the host's set-up and take-back said.
    void flush_texts() {
        output("console", host_.take_console());
        output("stderr", host_.take_errors());
    }
    void pump_uart(bool all) {
        if (!board_ || ended_) {
            return;
        }
        const auto now = UartText::Clock::now();
        uart_.add(board_->new_uart_text(), now);
        output("stdout", all ? uart_.all() : uart_.due(now));
    }

    // ---- telling requests apart ----

    unsigned state() const {
        if (!board_) {
            return kBeforeLaunch;
        }
        if (ended_) {
            return kEnded;
        }
        return running_ ? kRunning : kStopped;
    }

    void take(const Channel::Incoming& incoming) {
        if (!incoming.skipped.empty()) {
            host_.complain(incoming.skipped);
            output("stderr", incoming.skipped + "\n");
            return;
        }
        const json& message = incoming.message;
        const json* type = message.contains("type") ? &message["type"] : nullptr;
        if (type != nullptr && type->is_string() && *type != "request") {
            return;  // the editor's answer to a request of ours, or an event: none are made
        }
        const json* seq = message.contains("seq") ? &message["seq"] : nullptr;
        const bool seq_ok = seq != nullptr && seq->is_number_integer() &&
                            seq->get<std::int64_t>() >= 1 &&
                            seq->get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max();
        const int request_seq = seq_ok ? seq->get<int>() : 0;
        const json* command = message.contains("command") ? &message["command"] : nullptr;
        const std::string name =
            command != nullptr && command->is_string() ? command->get<std::string>() : "";
        const auto refuse_here = [&](const std::string& why) {
            answer(request_seq, name, false, json::object(), why);
        };
        if (!seq_ok) {
            // No answer can name the request it answers.
            const std::string why = "a request whose seq is not a whole number from 1 was skipped";
            host_.complain(why);
            output("stderr", why + "\n");
            return;
        }
        if (type == nullptr || !type->is_string()) {
            refuse_here("a message needs \"type\": \"request\"");
            return;
        }
        if (name.empty()) {
            refuse_here("a request needs \"command\", the request's name as a string");
            return;
        }
        static const json no_arguments = json::object();
        const json& arguments = message.contains("arguments") ? message["arguments"] : no_arguments;
        if (!arguments.is_object()) {
            refuse_here(name + ": arguments must be an object");
            return;
        }
        const auto found = std::ranges::find(kRequests, name, &Request::name);
        if (found == kRequests.end()) {
            refuse_here("unsupported request " + name);
            return;
        }
        const Call call{message, request_seq, name, Arguments(name + ": ", arguments)};
        const unsigned now = state();
        if ((found->when & now) == 0) {
            refuse_here(name + ": " +
                        (now == kBeforeLaunch ? "launch first: no firmware is loaded"
                         : now == kRunning    ? "the 8051 is running: pause it first"
                         : now == kEnded      ? "the firmware's run is over"
                                              : "not while the 8051 is stopped"));
            return;
        }
        try {
            (this->*found->handle)(call);
        } catch (const BadArgument& e) {
            refuse(call, e.what());
        } catch (const std::exception& e) {
            refuse(call, name + ": " + e.what());
        }
    }

    // ---- start and end ----

    void initialize(const Call& call) {
        json capabilities = json::object();
        for (const std::string_view name : kCapabilities) {
            capabilities[std::string(name)] = true;
        }
        respond(call, capabilities);
    }

    void launch(const Call& call) {
        if (board_) {
            refuse(call, "launch: the firmware is launched already");
            return;
        }
        const Arguments& args = call.args;
        Launch setup;
        setup.program = args.text("program");
        if (setup.program.empty()) {
            refuse(call, "launch needs \"program\": the image built with sdcc --debug");
            return;
        }
        const json& dirs = args.array("sourceDirs");
        for (std::size_t i = 0; i < dirs.size(); ++i) {
            if (!dirs[i].is_string()) {
                throw BadArgument("launch: sourceDirs[" + std::to_string(i) + "] must be a string");
            }
            setup.source_dirs.push_back(dirs[i].get<std::string>());
        }
        if (args.has("cycles") && args.has("simTime")) {
            throw BadArgument("launch: cycles and simTime both set the budget: give one of them");
        }
        setup.cycles = args.count("cycles", 0, 1);
        if (args.has("simTime")) {
            setup.cycles = static_cast<std::uint64_t>(
                std::llround(args.number("simTime", 0) * kCyclesPerSecond));
        }
        setup.uart_in = args.text("uartIn");
        stop_on_entry_ = args.flag("stopOnEntry", false);
        launched_with_ = setup;
        std::string error;
        int code = 0;
        board_ = host_.launch(setup, error, code);
        output("console", host_.take_console());
        const std::string said = host_.take_errors();
        output("stderr", said);
        if (!board_) {
            // What the host told is the reason when it gave none apart.
            if (error.empty()) {
                error = said.substr(0, said.find('\n'));
            }
            refuse(call, error.empty() ? "launch: the firmware could not be loaded" : error);
            exit_code_ = code;
            // Nothing will run: the editor ends the session as for an end.
            event("terminated");
            return;
        }
        respond(call);
        event("initialized");
    }

    void configuration_done(const Call& call) {
        respond(call);
        if (!ended_) {
            begin();
        }
    }

    // The run's start: at the entry stop, or running on.
    void begin() {
        if (stop_on_entry_) {
            stopped("entry", board_->engine().last_stop());
        } else {
            go(&debugger::Engine::go);
        }
    }

    void disconnect(const Call& call) {
        // A launched firmware ends with the session unless told to run on.
        const bool terminate = call.args.flag("terminateDebuggee", true);
        respond(call);
        pause_asked_ = running_;
        done_ = true;
        detach_ = !terminate;
    }

    void terminate(const Call& call) {
        respond(call);
        if (running_) {
            pause_asked_ = true;
        }
        done_ = true;
    }

    // disconnect with terminateDebuggee false: the firmware runs on to its
    // result without breakpoints, as `run` would run it.
    void run_detached() {
        debugger::Engine& engine = board_->engine();
        std::vector<int> numbers;
        for (const auto& b : engine.breakpoints()) {
            numbers.push_back(b.number);
        }
        engine.delete_breakpoints(numbers);
        const Stop stop = engine.go([this] {
            pump_uart(false);
            while (channel_.receive(0)) {
            }
            return channel_.closed();
        });
        pump_uart(true);
        if (stop.ended()) {
            end_session(false);
        }
    }

    // The firmware ended (`early` false), or the session ends before it.
    void end_session(bool early) {
        if (!board_ || ended_) {
            return;
        }
        pump_uart(true);
        const Stop stop = board_->engine().last_stop();
        ended_ = true;
        if (stop.reason == Stop::Reason::exited) {
            output("console", "firmware result " + std::to_string(stop.result) + "\n");
        } else if (stop.reason == Stop::Reason::budget) {
            output("console", "the budget ran out without a result from the firmware\n");
        } else if (stop.reason == Stop::Reason::failed) {
            output("stderr", stop.text + "\n");
        }
        exit_code_ = board_->finish(early && !stop.ended());
        flush_texts();
        if (stop.ended()) {
            event("exited", {{"exitCode", exit_code_}});
        }
        event("terminated");
    }

    void restart(const Call& call) {
        if (running_) {
            refuse(call, "restart: the 8051 is running: pause it first");
            return;
        }
        if (!ended_) {
            pump_uart(true);
            board_->finish(false);
        }
        flush_texts();
        board_.reset();
        ended_ = false;
        children_.clear();
        std::string error;
        int code = 0;
        board_ = host_.launch(launched_with_, error, code);
        flush_texts();
        if (!board_) {
            refuse(call, error.empty() ? "restart: the firmware could not be loaded" : error);
            exit_code_ = code;
            event("terminated");
            done_ = true;
            return;
        }
        for (auto& [group, placed] : groups_) {
            for (Placed& p : placed) {
                p.rule.restart();
            }
            place(group, placed);
        }
        respond(call);
        begin();
    }

    void set_exception_breakpoints(const Call& call) {
        respond(call, {{"breakpoints", json::array()}});  // an 8051 raises none
    }

    // ---- breakpoints ----

    // Sets a group's breakpoints in the engine in one go.
    void place(const std::string& group, std::vector<Placed>& placed) {
        debugger::Engine& engine = board_->engine();
        if (group == kDataGroup) {
            place_data(placed);
            return;
        }
        std::vector<std::string> places;
        for (const Placed& p : placed) {
            places.push_back(p.place);
        }
        const auto added = engine.add_breakpoints(places);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            Placed& p = placed[i];
            p.shown["id"] = p.id;
            if (const auto* b = std::get_if<debugger::Breakpoint>(&added[i])) {
                p.engine = b->number;
                p.shown["verified"] = true;
                p.shown["instructionReference"] = hex(b->address, 4);
                if (b->location.line != 0) {
                    p.shown["line"] = b->location.line;
                    p.shown["source"] = source(b->location.file);
                }
            } else {
                p.engine = 0;
                p.shown["verified"] = false;
                p.shown["message"] = std::get<std::string>(added[i]);
            }
        }
    }

    // Replaces the breakpoints of `group` by the request's, each at the
    // place `where` gives for its entry.
    // `also` reads what else an entry asks, for its kind of breakpoint.
    using Also = void (*)(const Arguments&, Placed&);
    template <typename Where>
    void replace_group(
        const Call& call, const std::string& group, Where where,
        Also also = [](const Arguments&, Placed&) {}) {
        std::vector<Placed> wanted;
        const json& list = call.args.array("breakpoints");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const Arguments entry = call.args.element("breakpoints", i);
            Placed p;
            p.id = next_id_++;
            p.place = where(entry);
            also(entry, p);
            std::string error;
            auto rule = BreakpointRule::make(entry.text("condition"), entry.text("hitCondition"),
                                             entry.text("logMessage"), error);
            if (!rule) {
                p.shown = {{"id", p.id}, {"verified", false}, {"message", error}};
                p.place.clear();
            } else {
                p.rule = std::move(*rule);
            }
            wanted.push_back(std::move(p));
        }
        debugger::Engine& engine = board_->engine();
        std::vector<int> old;
        for (const Placed& p : groups_[group]) {
            if (p.engine != 0) {
                old.push_back(p.engine);
            }
        }
        engine.delete_breakpoints(old);
        std::vector<Placed> placeable;
        std::vector<Placed> refused;
        for (Placed& p : wanted) {
            (p.place.empty() ? refused : placeable).push_back(std::move(p));
        }
        place(group, placeable);
        json shown = json::array();
        std::vector<Placed> kept;
        std::size_t r = 0;
        std::size_t k = 0;
        // In the request's order: the ids rose with it.
        while (r < refused.size() || k < placeable.size()) {
            const bool take_refused =
                k == placeable.size() || (r < refused.size() && refused[r].id < placeable[k].id);
            Placed& p = take_refused ? refused[r++] : placeable[k++];
            shown.push_back(p.shown);
            if (!take_refused) {
                kept.push_back(std::move(p));
            }
        }
        groups_[group] = std::move(kept);
        respond(call, {{"breakpoints", shown}});
        if (running_) {
            // The target takes breakpoints while paused: a short pause, and on.
            resync_ = true;
            pause_asked_ = true;
        }
    }

    void set_breakpoints(const Call& call) {
        const Arguments source_args = call.args.object("source");
        std::string path = source_args.text("path");
        if (path.empty()) {
            path = source_args.text("name");
        }
        const std::string file = std::filesystem::path(path).filename().string();
        if (file.empty()) {
            throw BadArgument("setBreakpoints: source.path must name a source file");
        }
        replace_group(call, "source:" + file, [&file](const Arguments& entry) {
            return file + ":" + std::to_string(entry.need_count("line"));
        });
    }

    void set_function_breakpoints(const Call& call) {
        replace_group(call, "functions",
                      [](const Arguments& entry) { return entry.need_text("name"); });
    }

    void set_instruction_breakpoints(const Call& call) {
        replace_group(call, "instructions", [](const Arguments& entry) {
            const std::string reference = entry.need_text("instructionReference");
            const auto place = parse_reference(reference);
            if (!place || place->space != Space::code) {
                throw BadArgument("setInstructionBreakpoints: instructionReference \"" + reference +
                                  "\" is not a code address");
            }
            const auto at = static_cast<std::int64_t>(place->address) + entry.integer("offset", 0);
            if (at < 0 || at > 0xFFFF) {
                throw BadArgument("setInstructionBreakpoints: offset leaves the code space");
            }
            return "*" + hex(static_cast<unsigned>(at), 4);
        });
    }

    void breakpoint_locations(const Call& call) {
        const Arguments source_args = call.args.object("source");
        const std::string file =
            std::filesystem::path(source_args.text("path", source_args.text("name")))
                .filename()
                .string();
        const std::uint64_t first = call.args.count("line", 1, 1);
        const std::uint64_t last = call.args.count("endLine", first, 1);
        std::set<unsigned> lines;
        for (const auto& line : board_->engine().program().info().lines) {
            if (line.file == file && line.line >= first && line.line <= last) {
                lines.insert(line.line);
            }
        }
        json list = json::array();
        for (const unsigned line : lines) {
            list.push_back({{"line", line}});
        }
        respond(call, {{"breakpoints", list}});
    }

    Placed* placed_for(int engine_number) {
        for (auto& [group, placed] : groups_) {
            for (Placed& p : placed) {
                if (p.engine == engine_number) {
                    return &p;
                }
            }
        }
        return nullptr;
    }

    // ---- running ----

    void threads(const Call& call) {
        respond(call, {{"threads", json::array({{{"id", kThread}, {"name", "8051"}}})}});
    }

    void pause(const Call& call) {
        respond(call);
        pause_asked_ = running_;  // stopped already: nothing to do
        client_paused_ = running_;
    }

    bool by_instruction(const Call& call) const {
        return call.args.text("granularity") == "instruction";
    }
    void go_on(const Call& call) {
        respond(call, {{"allThreadsContinued", true}});
        go(&debugger::Engine::go);
    }
    void next(const Call& call) {
        const bool instruction = by_instruction(call);
        respond(call);
        go(instruction ? &debugger::Engine::step_instruction : &debugger::Engine::next);
    }
    void step_in(const Call& call) {
        const bool instruction = by_instruction(call);
        respond(call);
        go(instruction ? &debugger::Engine::step_instruction : &debugger::Engine::step);
    }
    void step_out(const Call& call) {
        respond(call);
        go(&debugger::Engine::finish);
    }

    using Run = Stop (debugger::Engine::*)(const debugger::Engine::Watch&);

    // Runs the 8051 on; between looks at the run, the requests that came are
    // answered, and `pause` or `disconnect` pause it. A breakpoint whose
    // condition fails, or a logpoint, lets the run go on.
    void go(Run run) {
        debugger::Engine& engine = board_->engine();
        if (engine.last_stop().ended()) {
            return;
        }
        children_.clear();
        event("continued", {{"threadId", kThread}, {"allThreadsContinued", true}});
        pause_asked_ = false;
        client_paused_ = false;
        resync_ = false;
        const debugger::Engine::Watch watch = [this] {
            pump_uart(false);
            while (!done_ && !pause_asked_) {
                auto incoming = channel_.receive(0);
                if (!incoming) {
                    break;
                }
                take(*incoming);
            }
            return pause_asked_ || done_ || channel_.closed();
        };
        Stop stop;
        while (true) {
            running_ = true;
            stop = (engine.*run)(watch);
            running_ = false;
            const bool resynced = std::exchange(resync_, false);
            if (resynced && !client_paused_ && !done_ && stop.reason == Stop::Reason::pause &&
                run == &debugger::Engine::go) {
                pause_asked_ = false;
                continue;  // the new breakpoints are set: on with the run
            }
            if (stop.ended() || done_ ||
                (stop.reason != Stop::Reason::breakpoint &&
                 stop.reason != Stop::Reason::watchpoint)) {
                break;
            }
            Placed* placed = placed_for(stop.breakpoint);
            if (placed == nullptr || placed->rule.plain()) {
                break;
            }
            const auto verdict =
                placed->rule.hit([this](const std::string& e) { return integer_of(e); },
                                 [this](const std::string& e) { return shown(e); });
            pump_uart(true);
            output("console", verdict.log);
            if (!verdict.error.empty()) {
                output("stderr", verdict.error + "\n");
            }
            if (verdict.stop || pause_asked_) {
                break;
            }
            if (run != &debugger::Engine::go) {
                stop.reason = Stop::Reason::step;  // the step ends where it ended
                break;
            }
        }
        pump_uart(true);
        if (stop.ended()) {
            end_session(false);
            return;
        }
        if (!done_) {
            using R = Stop::Reason;
            stopped(stop.reason == R::breakpoint   ? "breakpoint"
                    : stop.reason == R::watchpoint ? "data breakpoint"
                    : stop.reason == R::pause      ? "pause"
                                                   : "step",
                    stop);
        }
    }

    void stopped(const std::string& reason, const Stop& stop) {
        json body{{"reason", reason}, {"threadId", kThread}, {"allThreadsStopped", true}};
        if (stop.reason == Stop::Reason::watchpoint) {
            if (const Placed* p = placed_for(stop.breakpoint)) {
                body["hitBreakpointIds"] = json::array({p->id});
            }
            debugger::Values& values = board_->engine().values();
            std::string text = "Old value = ";
            text += stop.old_value ? values.format(*stop.old_value) : "<unread>";
            if (stop.new_value) {
                text += ", new value = " + values.format(*stop.new_value);
            }
            body["description"] = text;
            body["text"] = text;
        } else if (stop.reason == Stop::Reason::breakpoint) {
            if (const Placed* p = placed_for(stop.breakpoint)) {
                body["hitBreakpointIds"] = json::array({p->id});
                if (p->place.starts_with("*")) {
                    body["reason"] = "instruction breakpoint";
                } else if (groups_["functions"].size() > 0 &&
                           std::ranges::any_of(groups_["functions"],
                                               [p](const Placed& f) { return &f == p; })) {
                    body["reason"] = "function breakpoint";
                }
            }
        }
        event("stopped", body);
    }

    // ---- where and what ----

    json source(const std::string& file) const {
        const auto path = board_->engine().program().source_path(file);
        json described{{"name", file}};
        if (!path.empty()) {
            described["path"] = path.string();
        }
        return described;
    }

    void stack_trace(const Call& call) {
        const auto trace = board_->engine().backtrace();
        const std::uint64_t start = call.args.count("startFrame", 0);
        const std::uint64_t levels = call.args.count("levels", 0);
        json frames = json::array();
        for (std::size_t i = start; i < trace.size() && (levels == 0 || i < start + levels); ++i) {
            const debugger::FrameInfo& f = trace[i];
            // Outside every C function (the start-up code, an interrupt's
            // hand-written assembly) the frame is named by its address.
            const std::string name = f.frame.function != nullptr ? f.frame.function->name
                                     : f.frame.pc == 0           ? "reset at 0x0000"
                                                                 : "code at " + hex(f.frame.pc, 4);
            json frame{{"id", static_cast<int>(i)},
                       {"name", name},
                       {"line", f.location.line},
                       {"column", f.location.line != 0 ? 1 : 0},
                       {"instructionPointerReference", hex(f.frame.pc, 4)}};
            if (!f.location.file.empty()) {
                frame["source"] = source(f.location.file);
            } else {
                frame["presentationHint"] = "subtle";
            }
            frames.push_back(frame);
        }
        respond(call, {{"stackFrames", frames}, {"totalFrames", trace.size()}});
    }

    void scopes(const Call& call) {
        const std::int64_t frame = call.args.integer("frameId", 0);
        if (frame < 0 || frame >= kFirstChild - kFirstLocals) {
            throw BadArgument("scopes: frameId " + std::to_string(frame) + " is no frame");
        }
        const auto scope = [](const char* name, int reference, const char* hint) {
            json shown{{"name", name}, {"variablesReference", reference}, {"expensive", false}};
            if (hint != nullptr) {
                shown["presentationHint"] = hint;
            }
            return shown;
        };
        respond(call,
                {{"scopes", json::array({
                                scope("Locals", kFirstLocals + static_cast<int>(frame), "locals"),
                                scope("Globals", kGlobals, nullptr),
                                scope("Registers", kRegisters, "registers"),
                                scope("Ports", kPorts, nullptr),
                            })}});
    }

    // Where a value's bytes lie, when they lie side by side in one space.
    static std::optional<std::string> memory_of(const debugger::Value& value) {
        if (value.cells.empty() || value.bit >= 0) {
            return std::nullopt;
        }
        for (std::size_t i = 1; i < value.cells.size(); ++i) {
            if (value.cells[i].space != value.cells[0].space ||
                value.cells[i].address != value.cells[0].address + i) {
                return std::nullopt;
            }
        }
        return reference(value.cells[0].space, value.cells[0].address);
    }

    json variable(const debugger::Value& value, const std::string& path,
                  const debugger::Frame& frame, char format) {
        debugger::Values& values = board_->engine().values();
        json shown{{"name", value.name},
                   {"value", values.format(value, format)},
                   {"type", debugger::type_name(value.type)},
                   {"variablesReference", 0}};
        if (const auto memory = memory_of(value)) {
            shown["memoryReference"] = *memory;
        }
        if (!values.parts(value).empty()) {
            shown["variablesReference"] = kFirstChild + static_cast<int>(children_.size());
            children_.push_back({value, path, frame});
        }
        return shown;
    }

    json symbols(const std::vector<const cdb::Symbol*>& found, const debugger::Frame& frame,
                 char format) {
        json list = json::array();
        for (const cdb::Symbol* symbol : found) {
            const auto value = board_->engine().values().of(*symbol, frame);
            if (const auto* read = std::get_if<debugger::Value>(&value)) {
                list.push_back(variable(*read, symbol->name, frame, format));
            } else {
                list.push_back({{"name", symbol->name},
                                {"value", "<" + std::get<std::string>(value) + ">"},
                                {"variablesReference", 0}});
            }
        }
        return list;
    }

    static char format_of(const Arguments& args) {
        return args.object("format").flag("hex", false) ? 'x' : 0;
    }

    // The frame the Globals scope reads in: none, so no local hides a global.
    debugger::Frame globals_frame() { return {nullptr, board_->engine().last_stop().pc, {}}; }

    void variables(const Call& call) {
        const std::int64_t reference = call.args.integer("variablesReference", 0);
        const char format = format_of(call.args);
        debugger::Engine& engine = board_->engine();
        debugger::Values& values = engine.values();
        json list = json::array();
        if (reference >= kFirstChild &&
            static_cast<std::size_t>(reference - kFirstChild) < children_.size()) {
            const Child child = children_[static_cast<std::size_t>(reference - kFirstChild)];
            for (const auto& part : values.parts(child.value)) {
                list.push_back(
                    variable(part, member_path(child.path, part.name), child.frame, format));
            }
        } else if (reference >= kFirstLocals && reference < kFirstChild) {
            const debugger::Frame frame =
                engine.frame(static_cast<std::size_t>(reference - kFirstLocals));
            list = symbols(values.locals(frame), frame, format);
        } else if (reference == kGlobals) {
            list = symbols(values.globals(), globals_frame(), format);
        } else if (reference == kRegisters) {
            for (const auto& [name, value] : values.registers(engine.last_stop().pc)) {
                list.push_back(
                    {{"name", name},
                     {"value", value ? hex(*value, name == "dptr" || name == "pc" ? 4 : 2)
                                     : "<unavailable>"},
                     {"variablesReference", 0}});
            }
        } else if (reference == kPorts) {
            std::array<std::uint8_t, 0x80> sfrs{};
            const bool read = board_->target().read(Space::sfr, 0x80, sfrs);
            for (const Sfr& sfr : kPortsScope) {
                list.push_back(
                    {{"name", sfr.name},
                     {"value", read ? hex(sfrs[sfr.address - 0x80], 2) : "<unavailable>"},
                     {"type", "sfr"},
                     {"memoryReference", reference_of_sfr(sfr.address)},
                     {"variablesReference", 0}});
            }
        } else {
            throw BadArgument("variables: variablesReference " + std::to_string(reference) +
                              " names nothing shown since the last stop");
        }
        respond(call, {{"variables", list}});
    }

    static std::string reference_of_sfr(unsigned address) { return reference(Space::sfr, address); }

    // "where" and "x" give "where.x"; "table" and "[2]" give "table[2]".
    static std::string member_path(const std::string& path, const std::string& name) {
        return name.starts_with("[") ? path + name : path + "." + name;
    }

    void evaluate(const Call& call) {
        debugger::Engine& engine = board_->engine();
        const std::uint64_t frame_index = call.args.count("frameId", 0);
        const auto frame = engine.frame(static_cast<std::size_t>(frame_index));
        const std::string expression = call.args.need_text("expression");
        const auto value = engine.values().evaluate(expression, frame);
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            refuse(call, *wrong);
            return;
        }
        const json shown =
            variable(std::get<debugger::Value>(value), expression, frame, format_of(call.args));
        json body{{"result", shown["value"]},
                  {"type", shown["type"]},
                  {"variablesReference", shown["variablesReference"]}};
        if (shown.contains("memoryReference")) {
            body["memoryReference"] = shown["memoryReference"];
        }
        respond(call, body);
    }

    void set_variable(const Call& call) {
        debugger::Engine& engine = board_->engine();
        debugger::Values& values = engine.values();
        const std::int64_t reference = call.args.integer("variablesReference", 0);
        const std::string name = call.args.need_text("name");
        const std::string text = call.args.need_text("value");
        if (reference == kPorts) {
            set_port(call, name, text);
            return;
        }
        std::string path = name;
        debugger::Frame frame = engine.frame();
        if (reference >= kFirstChild &&
            static_cast<std::size_t>(reference - kFirstChild) < children_.size()) {
            const Child& child = children_[static_cast<std::size_t>(reference - kFirstChild)];
            path = member_path(child.path, name);
            frame = child.frame;
        } else if (reference >= kFirstLocals && reference < kFirstChild) {
            frame = engine.frame(static_cast<std::size_t>(reference - kFirstLocals));
        } else if (reference == kGlobals) {
            frame = globals_frame();
        } else if (reference == kRegisters) {
            path = "$" + name;
        } else {
            throw BadArgument("setVariable: variablesReference " + std::to_string(reference) +
                              " names nothing shown since the last stop");
        }
        if (const auto wrong = values.assign(path, text, frame)) {
            refuse(call, *wrong);
            return;
        }
        const auto value = values.evaluate(path, frame);
        if (const auto* read = std::get_if<debugger::Value>(&value)) {
            unsigned number = 0;
            for (std::size_t i = read->bytes.size(); i-- > 0;) {
                number = number << 8 | read->bytes[i];
            }
            const int digits = 2 * static_cast<int>(std::max<std::size_t>(1, read->bytes.size()));
            respond(call, {{"value",
                            reference == kRegisters ? hex(number, digits) : values.format(*read)},
                           {"type", debugger::type_name(read->type)},
                           {"variablesReference", 0}});
        } else {
            respond(call, {{"value", text}});
        }
    }

    void set_port(const Call& call, const std::string& name, const std::string& text) {
        const auto found =
            std::ranges::find_if(kPortsScope, [&name](const Sfr& sfr) { return name == sfr.name; });
        if (found == kPortsScope.end()) {
            throw BadArgument("setVariable: the Ports scope has no " + name);
        }
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0' || value < 0 || value > 0xFF) {
            refuse(call, "setVariable: " + name + " takes a byte, 0 to 255 or 0x00 to 0xff");
            return;
        }
        const std::uint8_t byte = static_cast<std::uint8_t>(value);
        if (!board_->target().write(Space::sfr, found->address, std::span(&byte, 1))) {
            refuse(call, "cannot write " + name + " to the 8051");
            return;
        }
        respond(call, {{"value", hex(byte, 2)}, {"variablesReference", 0}});
    }

    // ---- data breakpoints: the simulator's watches on memory ----

    // A dataId: the frame the name is read in ("g" for the globals) and the
    // name, "0:i", "g:last.channel".
    void data_breakpoint_info(const Call& call) {
        const std::int64_t reference = call.args.integer("variablesReference", 0);
        const std::string name = call.args.need_text("name");
        std::string scope;
        std::string path = name;
        debugger::Frame frame = board_->engine().frame();
        if (reference >= kFirstChild &&
            static_cast<std::size_t>(reference - kFirstChild) < children_.size()) {
            const Child& child = children_[static_cast<std::size_t>(reference - kFirstChild)];
            path = member_path(child.path, name);
            scope = child.frame.function == nullptr ? "g" : scope_of(child.frame);
            frame = child.frame;
        } else if (reference == kGlobals) {
            scope = "g";
            frame = globals_frame();
        } else if (reference >= kFirstLocals && reference < kFirstChild) {
            scope = std::to_string(reference - kFirstLocals);
            frame = board_->engine().frame(static_cast<std::size_t>(reference - kFirstLocals));
        } else if (reference == 0) {
            // An expression of the editor's watch list, read in the frame asked.
            const std::uint64_t index = call.args.count("frameId", 0);
            scope = std::to_string(index);
            frame = board_->engine().frame(static_cast<std::size_t>(index));
        }
        const auto value = scope.empty() ? std::variant<debugger::Value, std::string>(
                                               "the simulator watches memory, not registers")
                                         : board_->engine().values().evaluate(path, frame);
        const auto* read = std::get_if<debugger::Value>(&value);
        std::string why;
        if (read == nullptr) {
            why = std::get<std::string>(value);
        } else if (read->cells.empty() || std::ranges::any_of(read->cells, [](const auto& c) {
                       return c.space == Space::sfr;
                   })) {
            why = path + " is not in memory the simulator can watch";
        }
        if (!why.empty()) {
            respond(call, {{"dataId", nullptr}, {"description", why}});
            return;
        }
        const bool in_code = read->cells.front().space == Space::code;
        respond(call, {{"dataId", scope + ":" + path},
                       {"description", path},
                       {"accessTypes", in_code ? json::array({"read"})
                                               : json::array({"read", "write", "readWrite"})},
                       {"canPersist", scope == "g"}});
    }

    std::string scope_of(const debugger::Frame& frame) {
        const auto trace = board_->engine().backtrace();
        for (std::size_t i = 0; i < trace.size(); ++i) {
            if (trace[i].frame.function == frame.function) {
                return std::to_string(i);
            }
        }
        return "0";
    }

    void set_data_breakpoints(const Call& call) {
        using Kind = debugger::Breakpoint::Kind;
        replace_group(
            call, std::string(kDataGroup),
            [](const Arguments& entry) {
                const std::string id = entry.need_text("dataId");
                if (id.find(':') == std::string::npos) {
                    throw BadArgument("setDataBreakpoints: dataId \"" + id +
                                      "\" is not one dataBreakpointInfo gave");
                }
                return id;
            },
            [](const Arguments& entry, Placed& p) {
                const std::string access = entry.text("accessType", "write");
                if (access == "read") {
                    p.kind = Kind::read_watch;
                } else if (access == "readWrite") {
                    p.kind = Kind::access_watch;
                } else if (access == "write") {
                    p.kind = Kind::watch;
                } else {
                    throw BadArgument(
                        "setDataBreakpoints: accessType must be read, write or readWrite");
                }
            });
    }

    void place_data(std::vector<Placed>& placed) {
        debugger::Engine& engine = board_->engine();
        for (Placed& p : placed) {
            const std::size_t colon = p.place.find(':');
            const std::string scope = p.place.substr(0, colon);
            const std::string path = p.place.substr(colon + 1);
            const debugger::Frame frame =
                scope == "g" ? globals_frame()
                             : engine.frame(static_cast<std::size_t>(std::atoi(scope.c_str())));
            const auto added = engine.add_watchpoint(path, p.kind, frame);
            p.shown["id"] = p.id;
            if (const auto* b = std::get_if<debugger::Breakpoint>(&added)) {
                p.engine = b->number;
                p.shown["verified"] = true;
                p.shown["description"] = path;
            } else {
                p.engine = 0;
                p.shown["verified"] = false;
                p.shown["message"] = std::get<std::string>(added);
            }
        }
    }

    // ---- disassembly, by the simulator's disassembler ----

    void disassemble(const Call& call) {
        const std::string text = call.args.need_text("memoryReference");
        const auto place = parse_reference(text);
        if (!place || place->space != Space::code) {
            throw BadArgument("disassemble: memoryReference \"" + text +
                              "\" is not a code address");
        }
        const std::int64_t count = static_cast<std::int64_t>(
            std::min<std::uint64_t>(call.args.need_count("instructionCount"), 4096));
        const std::int64_t start =
            static_cast<std::int64_t>(place->address) + call.args.integer("offset", 0);
        const std::int64_t skip = call.args.integer("instructionOffset", 0);
        const auto& code = board_->engine().program().code();
        // The instructions' starts, walked from a place known to start one:
        // a C line's code or the reset, so the instructions before `start`
        // are those the 8051 runs, not a cut through an operand.
        const auto boundaries = [&](std::int64_t from, std::int64_t upto) {
            std::vector<std::int64_t> starts;
            for (std::int64_t at = from; at < upto && at < 0x10000;) {
                starts.push_back(at);
                const std::uint8_t opcode = static_cast<std::size_t>(at) < code.size()
                                                ? code[static_cast<std::size_t>(at)]
                                                : 0;
                at += debugger::instruction_length(opcode);
            }
            return starts;
        };
        std::int64_t first = std::clamp<std::int64_t>(start, 0, 0xFFFF);
        if (skip < 0) {
            std::int64_t sync = 0;
            for (const auto& line : board_->engine().program().info().lines) {
                const auto at = static_cast<std::int64_t>(line.address);
                if (at <= start + 3 * skip && at > sync) {
                    sync = at;
                }
            }
            auto before = boundaries(sync, first);
            if (before.empty() || before.back() != first) {
                before.push_back(first);  // `start` itself, as the editor named it
            }
            const std::int64_t back = std::min<std::int64_t>(-skip, before.size() - 1);
            first = before[before.size() - 1 - static_cast<std::size_t>(back)];
        } else if (skip > 0) {
            const auto after = boundaries(first, 0x10000);
            first = static_cast<std::size_t>(skip) < after.size()
                        ? after[static_cast<std::size_t>(skip)]
                        : 0x10000;
        }
        json list = json::array();
        const auto found = first < 0x10000
                               ? board_->target().disassemble(static_cast<unsigned>(first),
                                                              static_cast<unsigned>(count))
                               : std::vector<debugger::Instruction>{};
        const debugger::Program& program = board_->engine().program();
        std::string last_file;
        unsigned last_line = 0;
        for (const debugger::Instruction& instruction : found) {
            std::string bytes;
            for (const std::uint8_t b : instruction.bytes) {
                char two[4];
                std::snprintf(two, sizeof two, bytes.empty() ? "%02x" : " %02x", b);
                bytes += two;
            }
            json shown{{"address", hex(instruction.address, 4)},
                       {"instructionBytes", bytes},
                       {"instruction", instruction.text}};
            const debugger::Location where = program.location(instruction.address);
            if (where.function != nullptr && where.function->entry == instruction.address) {
                shown["symbol"] = where.function->name;
            }
            if (where.line != 0 && (where.file != last_file || where.line != last_line)) {
                shown["location"] = source(where.file);
                shown["line"] = where.line;
                last_file = where.file;
                last_line = where.line;
            }
            list.push_back(shown);
        }
        // Past the code space's end: entries the editor shows as invalid.
        std::int64_t next =
            found.empty()
                ? first
                : found.back().address + static_cast<std::int64_t>(found.back().bytes.size());
        while (list.size() < static_cast<std::size_t>(count)) {
            list.push_back({{"address", hex(static_cast<unsigned>(next++), 4)},
                            {"instruction", ""},
                            {"presentationHint", "invalid"}});
        }
        respond(call, {{"instructions", list}});
    }

    // ---- memory ----

    // The range the request names, cut to its space: [begin, end).
    struct Range {
        Space space;
        std::int64_t asked;  // where the request begins, may lie outside the space
        unsigned begin;
        unsigned end;
    };
    static Range range_of(const Call& call, std::uint64_t count) {
        const std::string text = call.args.need_text("memoryReference");
        const auto place = parse_reference(text);
        if (!place) {
            throw BadArgument(call.command + ": memoryReference \"" + text +
                              "\" is not \"code:\", \"xdata:\", \"idata:\" or \"sfr:\" and an "
                              "address");
        }
        const std::int64_t asked =
            static_cast<std::int64_t>(place->address) + call.args.integer("offset", 0);
        const std::int64_t low = space_begin(place->space);
        const std::int64_t high = space_end(place->space);
        const std::int64_t end = asked + static_cast<std::int64_t>(count);
        const auto clamp = [&](std::int64_t at) { return std::clamp(at, low, high); };
        return {place->space, asked, static_cast<unsigned>(clamp(asked)),
                static_cast<unsigned>(clamp(end))};
    }

    void read_memory(const Call& call) {
        const std::uint64_t count = std::min<std::uint64_t>(call.args.count("count", 0), 0x10000);
        const Range range = range_of(call, count);
        std::vector<std::uint8_t> bytes(range.end - range.begin);
        if (!bytes.empty() && !board_->target().read(range.space, range.begin, bytes)) {
            refuse(call, "readMemory: the 8051 did not give its memory");
            return;
        }
        // Bytes before the space's start are unreadable and not sent; the
        // data then begins at the space's first address.
        json body{{"address", hex(range.begin, 4)}, {"data", base64(bytes)}};
        const std::uint64_t unreadable = count - bytes.size();
        if (unreadable != 0) {
            body["unreadableBytes"] = unreadable;
        }
        respond(call, body);
    }

    void write_memory(const Call& call) {
        const auto bytes = from_base64(call.args.need_text("data"));
        if (!bytes) {
            throw BadArgument("writeMemory: data must be base64");
        }
        const Range range = range_of(call, bytes->size());
        const bool partial = call.args.flag("allowPartial", false);
        const std::size_t fits = range.end - range.begin;
        if (range.asked != range.begin || (fits < bytes->size() && !partial)) {
            refuse(call, "writeMemory: " + std::to_string(bytes->size()) +
                             " bytes do not fit in the space there");
            return;
        }
        if (fits != 0 &&
            !board_->target().write(range.space, range.begin, std::span(bytes->data(), fits))) {
            refuse(call, "writeMemory: the 8051 did not take the bytes");
            return;
        }
        children_.clear();
        respond(call, {{"bytesWritten", fits}});
        event("invalidated", {{"areas", json::array({"variables"})}, {"threadId", kThread}});
    }

    // ---- sources ----

    void loaded_sources(const Call& call) {
        std::set<std::string> files;
        for (const auto& line : board_->engine().program().info().lines) {
            files.insert(line.file);
        }
        json list = json::array();
        for (const std::string& file : files) {
            list.push_back(source(file));
        }
        respond(call, {{"sources", list}});
    }

    void source_text(const Call& call) {
        refuse(call, "source: every source is a file; open it by its path");
    }

    // ---- values for conditions and log messages ----

    std::variant<std::int64_t, std::string> integer_of(const std::string& expression) {
        char* end = nullptr;
        const long long number = std::strtoll(expression.c_str(), &end, 0);
        if (!expression.empty() && *end == '\0') {
            return static_cast<std::int64_t>(number);
        }
        debugger::Engine& engine = board_->engine();
        const auto value = engine.values().evaluate(expression, engine.frame());
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            return *wrong;
        }
        // The printed value begins with the number: "2", "65 'A'", "0x1234".
        const std::string text = engine.values().format(std::get<debugger::Value>(value));
        const long long read = std::strtoll(text.c_str(), &end, 0);
        if (end == text.c_str()) {
            return expression + " is not a number: " + text;
        }
        return static_cast<std::int64_t>(read);
    }

    std::string shown(const std::string& expression) {
        debugger::Engine& engine = board_->engine();
        const auto value = engine.values().evaluate(expression, engine.frame());
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            return "<" + *wrong + ">";
        }
        return engine.values().format(std::get<debugger::Value>(value));
    }

    Host& host_;
    Channel channel_;
    int seq_ = 0;
    std::unique_ptr<Board> board_;
    Launch launched_with_;
    UartText uart_;
    std::map<std::string, std::vector<Placed>> groups_;
    int next_id_ = 1;
    std::vector<Child> children_;
    bool stop_on_entry_ = false;
    bool running_ = false;
    bool pause_asked_ = false;
    bool client_paused_ = false;  // the pause was the editor's, not ours
    bool resync_ = false;         // breakpoints changed while the 8051 ran
    bool done_ = false;
    bool detach_ = false;  // the firmware runs on after the editor has gone
    bool ended_ = false;
    int exit_code_ = 0;
};

const std::array<Request, 29> Server::kRequests{{
    {"initialize", &Server::initialize, kAlways},
    {"launch", &Server::launch, kBeforeLaunch | kLaunched},
    {"configurationDone", &Server::configuration_done, kLaunched},
    {"disconnect", &Server::disconnect, kAlways},
    {"terminate", &Server::terminate, kAlways},
    {"restart", &Server::restart, kLaunched},
    {"setBreakpoints", &Server::set_breakpoints, kLaunched | kRunning},
    {"setFunctionBreakpoints", &Server::set_function_breakpoints, kLaunched | kRunning},
    {"setInstructionBreakpoints", &Server::set_instruction_breakpoints, kLaunched | kRunning},
    {"setExceptionBreakpoints", &Server::set_exception_breakpoints, kAlways},
    {"threads", &Server::threads, kAlways},
    {"pause", &Server::pause, kRunning | kLaunched},
    {"continue", &Server::go_on, kStopped},
    {"next", &Server::next, kStopped},
    {"stepIn", &Server::step_in, kStopped},
    {"stepOut", &Server::step_out, kStopped},
    {"stackTrace", &Server::stack_trace, kStopped},
    {"scopes", &Server::scopes, kStopped},
    {"variables", &Server::variables, kStopped},
    {"evaluate", &Server::evaluate, kStopped},
    {"setVariable", &Server::set_variable, kStopped},
    {"readMemory", &Server::read_memory, kStopped},
    {"writeMemory", &Server::write_memory, kStopped},
    {"loadedSources", &Server::loaded_sources, kLaunched},
    {"source", &Server::source_text, kLaunched},
    {"dataBreakpointInfo", &Server::data_breakpoint_info, kStopped},
    {"setDataBreakpoints", &Server::set_data_breakpoints, kLaunched},
    {"disassemble", &Server::disassemble, kStopped},
    {"breakpointLocations", &Server::breakpoint_locations, kLaunched},
}};

}  // namespace

int serve(Host& host, int in_fd, int out_fd) {
    Server server(host, in_fd, out_fd);
    return server.serve();
}

}  // namespace dap
