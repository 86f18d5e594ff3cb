// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "dap_server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "posix/write_all.h"

namespace dap {

namespace {

using debugger::Stop;
using nlohmann::json;

constexpr int kThread = 1;
constexpr int kGlobals = 1;
constexpr int kRegisters = 2;
constexpr int kPorts = 3;
constexpr int kFirstLocals = 1000;  // + the frame's index
constexpr int kFirstChild = 10000;

// Messages framed as the protocol frames them: a Content-Length header, an
// empty line, and that many bytes of JSON.
class Channel {
public:
    Channel(int in_fd, int out_fd) : in_(in_fd), out_(out_fd) {}

    // The next whole message, waiting up to `timeout_ms` (-1: for ever);
    // nothing when none came, `closed` once the input has ended.
    std::optional<json> receive(int timeout_ms) {
        while (true) {
            if (auto message = take()) {
                return message;
            }
            if (closed_) {
                return std::nullopt;
            }
            pollfd ready{in_, POLLIN, 0};
            const int polled = ::poll(&ready, 1, timeout_ms);
            if (polled < 0 && errno == EINTR) {
                continue;
            }
            if (polled <= 0) {
                return std::nullopt;
            }
            char chunk[65536];
            const ssize_t got = ::read(in_, chunk, sizeof chunk);
            if (got <= 0) {
                closed_ = got == 0 || errno != EINTR;
                continue;
            }
            buffer_.append(chunk, static_cast<std::size_t>(got));
            timeout_ms = 0;
        }
    }
    bool closed() const { return closed_; }

    void send(const json& message) {
        const std::string body = message.dump();
        const std::string framed =
            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        quillon::posix::write_all(out_, framed.data(), framed.size());
    }

private:
    std::optional<json> take() {
        const std::size_t end = buffer_.find("\r\n\r\n");
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::size_t length = 0;
        std::istringstream headers(buffer_.substr(0, end));
        for (std::string line; std::getline(headers, line);) {
            if (line.rfind("Content-Length:", 0) == 0) {
                length = std::stoul(line.substr(15));
            }
        }
        if (buffer_.size() < end + 4 + length) {
            return std::nullopt;
        }
        const std::string body = buffer_.substr(end + 4, length);
        buffer_.erase(0, end + 4 + length);
        json message = json::parse(body, nullptr, false);
        return message.is_discarded() ? json::object() : message;
    }

    int in_;
    int out_;
    std::string buffer_;
    bool closed_ = false;
};

class Server {
public:
    Server(Host& host, int in_fd, int out_fd) : host_(host), channel_(in_fd, out_fd) {}

    int serve() {
        while (!done_) {
            auto message = channel_.receive(-1);
            if (!message) {
                if (channel_.closed()) {
                    break;
                }
                continue;
            }
            handle(*message);
        }
        end_board();
        return exit_code_;
    }

private:
    void event(const std::string& name, json body = json::object()) {
        channel_.send(
            {{"seq", ++seq_}, {"type", "event"}, {"event", name}, {"body", std::move(body)}});
    }
    void respond(const json& request, json body = json::object()) {
        channel_.send({{"seq", ++seq_},
                       {"type", "response"},
                       {"request_seq", request.value("seq", 0)},
                       {"success", true},
                       {"command", request.value("command", "")},
                       {"body", std::move(body)}});
    }
    void refuse(const json& request, const std::string& message) {
        channel_.send({{"seq", ++seq_},
                       {"type", "response"},
                       {"request_seq", request.value("seq", 0)},
                       {"success", false},
                       {"command", request.value("command", "")},
                       {"message", message},
                       {"body", {{"error", {{"id", 1}, {"format", message}}}}}});
    }
    void output(const std::string& category, const std::string& text) {
        if (!text.empty()) {
            event("output", {{"category", category}, {"output", text}});
        }
    }
    // What the board's set-up and take-back said, as the console and errors.
    void flush_texts() {
        output("console", host_.take_console());
        output("stderr", host_.take_errors());
    }

    void handle(const json& request) {
        const std::string command = request.value("command", "");
        const json args = request.value("arguments", json::object());
        try {
            if (command == "initialize") {
                respond(request, {{"supportsConfigurationDoneRequest", true},
                                  {"supportsEvaluateForHovers", true},
                                  {"supportsSetVariable", true},
                                  {"supportsTerminateRequest", true}});
            } else if (command == "launch") {
                launch(request, args);
            } else if (command == "disconnect" || command == "terminate") {
                respond(request);
                done_ = true;
            } else if (!board_) {
                refuse(request, "launch first: no firmware is loaded");
            } else if (command == "setBreakpoints") {
                set_breakpoints(request, args);
            } else if (command == "setFunctionBreakpoints") {
                set_function_breakpoints(request, args);
            } else if (command == "configurationDone") {
                respond(request);
                if (stop_on_entry_) {
                    stopped("entry", board_->engine().last_stop());
                } else {
                    go([this](const Watch& w) { return board_->engine().go(w); });
                }
            } else if (command == "threads") {
                respond(request, {{"threads", json::array({{{"id", kThread}, {"name", "8051"}}})}});
            } else if (command == "stackTrace") {
                stack_trace(request);
            } else if (command == "scopes") {
                scopes(request, args);
            } else if (command == "variables") {
                variables(request, args);
            } else if (command == "evaluate") {
                evaluate(request, args);
            } else if (command == "setVariable") {
                set_variable(request, args);
            } else if (command == "continue") {
                respond(request, {{"allThreadsContinued", true}});
                go([this](const Watch& w) { return board_->engine().go(w); });
            } else if (command == "next") {
                respond(request);
                go([this](const Watch& w) { return board_->engine().next(w); });
            } else if (command == "stepIn") {
                respond(request);
                go([this](const Watch& w) { return board_->engine().step(w); });
            } else if (command == "stepOut") {
                respond(request);
                go([this](const Watch& w) { return board_->engine().finish(w); });
            } else if (command == "pause") {
                respond(request);  // already paused: nothing to do
            } else {
                refuse(request, "unsupported request " + command);
            }
        } catch (const std::exception& e) {
            refuse(request, e.what());
        }
    }

    void launch(const json& request, const json& args) {
        if (board_) {
            refuse(request, "the firmware is launched already");
            return;
        }
        Launch setup;
        setup.program = args.value("program", "");
        if (setup.program.empty()) {
            refuse(request, "launch needs \"program\": the image built with sdcc --debug");
            return;
        }
        for (const auto& dir : args.value("sourceDirs", json::array())) {
            setup.source_dirs.push_back(dir.get<std::string>());
        }
        if (args.contains("cycles")) {
            setup.cycles = args["cycles"].get<std::uint64_t>();
        } else if (args.contains("simTime")) {
            setup.cycles = static_cast<std::uint64_t>(
                std::llround(args["simTime"].get<double>() * (11059200.0 / 12)));
        }
        setup.uart_in = args.value("uartIn", "");
        stop_on_entry_ = args.value("stopOnEntry", false);
        std::string error;
        int code = 0;
        board_ = host_.launch(setup, error, code);
        flush_texts();
        if (!board_) {
            refuse(request, error.empty() ? "the firmware could not be loaded" : error);
            exit_code_ = code;
            return;
        }
        respond(request);
        event("initialized");
    }

    void set_breakpoints(const json& request, const json& args) {
        const std::string path = args.value("source", json::object()).value("path", "");
        const std::string file = std::filesystem::path(path).filename().string();
        debugger::Engine& engine = board_->engine();
        for (const int number : by_file_[file]) {
            engine.delete_breakpoint(number);
        }
        by_file_[file].clear();
        json shown = json::array();
        for (const auto& wanted : args.value("breakpoints", json::array())) {
            const int line = wanted.value("line", 0);
            const auto added = engine.add_breakpoint(file + ":" + std::to_string(line), false);
            if (const auto* b = std::get_if<debugger::Breakpoint>(&added)) {
                by_file_[file].push_back(b->number);
                shown.push_back({{"id", b->number},
                                 {"verified", true},
                                 {"line", b->location.line},
                                 {"source", source(b->location.file)}});
            } else {
                shown.push_back({{"verified", false},
                                 {"line", line},
                                 {"message", std::get<std::string>(added)}});
            }
        }
        respond(request, {{"breakpoints", shown}});
    }

    void set_function_breakpoints(const json& request, const json& args) {
        debugger::Engine& engine = board_->engine();
        for (const int number : functions_) {
            engine.delete_breakpoint(number);
        }
        functions_.clear();
        json shown = json::array();
        for (const auto& wanted : args.value("breakpoints", json::array())) {
            const auto added = engine.add_breakpoint(wanted.value("name", ""), false);
            if (const auto* b = std::get_if<debugger::Breakpoint>(&added)) {
                functions_.push_back(b->number);
                shown.push_back({{"id", b->number},
                                 {"verified", true},
                                 {"line", b->location.line},
                                 {"source", source(b->location.file)}});
            } else {
                shown.push_back({{"verified", false}, {"message", std::get<std::string>(added)}});
            }
        }
        respond(request, {{"breakpoints", shown}});
    }

    json source(const std::string& file) const {
        const auto path = board_->engine().program().source_path(file);
        json described{{"name", file}};
        if (!path.empty()) {
            described["path"] = path.string();
        }
        return described;
    }

    using Watch = debugger::Engine::Watch;

    // Runs the 8051 on; between looks at the run, the requests that came are
    // answered, and `pause` or `disconnect` pause it.
    template <typename Run>
    void go(Run run) {
        if (board_->engine().last_stop().ended()) {
            return;
        }
        children_.clear();
        event("continued", {{"threadId", kThread}, {"allThreadsContinued", true}});
        bool pause = false;
        const Watch watch = [this, &pause] {
            output("stdout", board_->new_uart_text());
            while (auto message = channel_.receive(0)) {
                const std::string command = message->value("command", "");
                if (command == "pause") {
                    respond(*message);
                    pause = true;
                } else if (command == "disconnect" || command == "terminate") {
                    respond(*message);
                    pause = true;
                    done_ = true;
                } else if (command == "threads") {
                    respond(*message,
                            {{"threads", json::array({{{"id", kThread}, {"name", "8051"}}})}});
                } else {
                    refuse(*message, "the 8051 is running: pause it first");
                }
            }
            return pause || channel_.closed();
        };
        const Stop stop = run(watch);
        output("stdout", board_->new_uart_text());
        if (stop.ended()) {
            end_board();
            return;
        }
        if (!done_) {
            using R = Stop::Reason;
            stopped(stop.reason == R::breakpoint ? "breakpoint"
                    : stop.reason == R::pause    ? "pause"
                                                 : "step",
                    stop);
        }
    }

    void stopped(const std::string& reason, const Stop& stop) {
        json body{{"reason", reason}, {"threadId", kThread}, {"allThreadsStopped", true}};
        if (stop.reason == Stop::Reason::breakpoint) {
            body["hitBreakpointIds"] = json::array({stop.breakpoint});
        }
        event("stopped", body);
    }

    // The firmware ended, or the client went: the board is taken back and
    // the exit status tells how the run ended.
    void end_board() {
        if (!board_ || ended_) {
            return;
        }
        ended_ = true;
        const Stop stop = board_->engine().last_stop();
        if (stop.reason == Stop::Reason::exited) {
            output("console", "firmware result " + std::to_string(stop.result) + "\n");
        } else if (stop.reason == Stop::Reason::budget) {
            output("console", "the budget ran out without a result from the firmware\n");
        } else if (stop.reason == Stop::Reason::failed) {
            output("stderr", "quillon-cli: " + stop.text + "\n");
        }
        exit_code_ = board_->finish(false);
        flush_texts();
        event("exited", {{"exitCode", exit_code_}});
        event("terminated");
    }

    void stack_trace(const json& request) {
        json frames = json::array();
        const auto trace = board_->engine().backtrace();
        for (std::size_t i = 0; i < trace.size(); ++i) {
            const debugger::FrameInfo& f = trace[i];
            json frame{{"id", static_cast<int>(i)},
                       {"name", f.frame.function != nullptr ? f.frame.function->name : "??"},
                       {"line", f.location.line},
                       {"column", 1},
                       {"instructionPointerReference", std::to_string(f.frame.pc)}};
            if (!f.location.file.empty()) {
                frame["source"] = source(f.location.file);
            }
            frames.push_back(frame);
        }
        respond(request, {{"stackFrames", frames}, {"totalFrames", frames.size()}});
    }

    void scopes(const json& request, const json& args) {
        const int frame = args.value("frameId", 0);
        respond(
            request,
            {{"scopes",
              json::array({
                  {{"name", "Locals"},
                   {"variablesReference", kFirstLocals + frame},
                   {"expensive", false}},
                  {{"name", "Globals"}, {"variablesReference", kGlobals}, {"expensive", false}},
                  {{"name", "Registers"}, {"variablesReference", kRegisters}, {"expensive", false}},
                  {{"name", "Ports"}, {"variablesReference", kPorts}, {"expensive", false}},
              })}});
    }

    json variable(const debugger::Value& value) {
        debugger::Values& values = board_->engine().values();
        json shown{{"name", value.name},
                   {"value", values.format(value)},
                   {"type", debugger::type_name(value.type)},
                   {"variablesReference", 0}};
        if (!values.parts(value).empty()) {
            const int reference = kFirstChild + static_cast<int>(children_.size());
            children_.push_back(value);
            shown["variablesReference"] = reference;
        }
        return shown;
    }

    json symbols(const std::vector<const cdb::Symbol*>& found, const debugger::Frame& frame) {
        json list = json::array();
        for (const cdb::Symbol* symbol : found) {
            const auto value = board_->engine().values().of(*symbol, frame);
            if (const auto* read = std::get_if<debugger::Value>(&value)) {
                list.push_back(variable(*read));
            } else {
                list.push_back({{"name", symbol->name},
                                {"value", "<" + std::get<std::string>(value) + ">"},
                                {"variablesReference", 0}});
            }
        }
        return list;
    }

    void variables(const json& request, const json& args) {
        const int reference = args.value("variablesReference", 0);
        debugger::Engine& engine = board_->engine();
        debugger::Values& values = engine.values();
        json list = json::array();
        if (reference >= kFirstChild) {
            const std::size_t index = static_cast<std::size_t>(reference - kFirstChild);
            if (index < children_.size()) {
                const auto parts = values.parts(children_[index]);
                for (const auto& part : parts) {
                    list.push_back(variable(part));
                }
            }
        } else if (reference >= kFirstLocals) {
            const debugger::Frame frame =
                engine.frame(static_cast<std::size_t>(reference - kFirstLocals));
            list = symbols(values.locals(frame), frame);
        } else if (reference == kGlobals) {
            list = symbols(values.globals(), engine.frame());
        } else if (reference == kRegisters) {
            for (const auto& [name, value] : values.registers(engine.last_stop().pc)) {
                char text[16];
                std::snprintf(text, sizeof text, "0x%02x", value.value_or(0));
                list.push_back({{"name", name},
                                {"value", value ? text : "<unavailable>"},
                                {"variablesReference", 0}});
            }
        } else if (reference == kPorts) {
            for (const char* port : {"P0", "P1", "P2", "P3"}) {
                const auto value = values.evaluate(port, engine.frame());
                if (const auto* read = std::get_if<debugger::Value>(&value)) {
                    list.push_back({{"name", port},
                                    {"value", values.format(*read, 'x')},
                                    {"variablesReference", 0}});
                }
            }
        }
        respond(request, {{"variables", list}});
    }

    void evaluate(const json& request, const json& args) {
        debugger::Engine& engine = board_->engine();
        const auto frame = engine.frame(static_cast<std::size_t>(args.value("frameId", 0)));
        const auto value = engine.values().evaluate(args.value("expression", ""), frame);
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            refuse(request, *wrong);
            return;
        }
        const json shown = variable(std::get<debugger::Value>(value));
        respond(request, {{"result", shown["value"]},
                          {"type", shown["type"]},
                          {"variablesReference", shown["variablesReference"]}});
    }

    void set_variable(const json& request, const json& args) {
        debugger::Engine& engine = board_->engine();
        const int reference = args.value("variablesReference", 0);
        const debugger::Frame frame =
            reference >= kFirstLocals && reference < kFirstChild
                ? engine.frame(static_cast<std::size_t>(reference - kFirstLocals))
                : engine.frame();
        const std::string name =
            reference == kRegisters ? "$" + args.value("name", "") : args.value("name", "");
        if (const auto wrong = engine.values().assign(name, args.value("value", ""), frame)) {
            refuse(request, *wrong);
            return;
        }
        const auto value = engine.values().evaluate(name, frame);
        respond(request, {{"value", std::holds_alternative<debugger::Value>(value)
                                        ? engine.values().format(std::get<debugger::Value>(value))
                                        : args.value("value", "")}});
    }

    Host& host_;
    Channel channel_;
    int seq_ = 0;
    std::unique_ptr<Board> board_;
    std::map<std::string, std::vector<int>> by_file_;
    std::vector<int> functions_;
    std::vector<debugger::Value> children_;
    bool stop_on_entry_ = false;
    bool done_ = false;
    bool ended_ = false;
    int exit_code_ = 0;
};

}  // namespace

int serve(Host& host, int in_fd, int out_fd) {
    Server server(host, in_fd, out_fd);
    return server.serve();
}

}  // namespace dap
