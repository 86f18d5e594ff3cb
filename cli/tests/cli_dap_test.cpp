// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli debug --dap, driven by a small client of the Debug Adapter
// Protocol over the server's standard input and output, as an editor drives it.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_process.h"
#include "quillon_test/child_processes.h"

namespace qcli {
namespace {

using nlohmann::json;
using testing_support::Child;
using testing_support::Scratch;

// Sends requests and reads the framed messages that come back.
class DapClient {
public:
    explicit DapClient(Child& server) : server_(server) {}

    int request(const std::string& command, json arguments = json::object()) {
        const json message{{"seq", ++seq_},
                           {"type", "request"},
                           {"command", command},
                           {"arguments", std::move(arguments)}};
        send_body(message.dump());
        return seq_;
    }
    void send_body(const std::string& body) {
        send_raw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    void send_raw(const std::string& bytes) {
        EXPECT_EQ(::write(server_.in, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // The answer's body, which must have succeeded.
    json ok(const std::string& command, json arguments = json::object()) {
        const json answer = response(request(command, std::move(arguments)));
        EXPECT_TRUE(answer.value("success", false)) << command << ": " << answer.dump();
        return answer.value("body", json::object());
    }
    // The message of a refused request.
    std::string refused(const std::string& command, json arguments = json::object()) {
        const json answer = response(request(command, std::move(arguments)));
        EXPECT_FALSE(answer.value("success", true)) << command << ": " << answer.dump();
        return answer.value("message", "");
    }

    // Reads to the end of the server's output, then checks every message it
    // sent against the protocol's schema; the faults found, one a line.
    std::string schema_faults(const std::filesystem::path& folder) {
        while (true) {
            while (auto message = take()) {
                seen_.push_back(*message);
            }
            pollfd ready{server_.out, POLLIN, 0};
            if (::poll(&ready, 1, 10000) <= 0) {
                break;
            }
            char chunk[4096];
            const ssize_t got = ::read(server_.out, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
        const auto sent = folder / "sent.jsonl";
        {
            std::ofstream out(sent);
            for (const json& m : seen_) {
                out << m.dump() << '\n';
            }
        }
        const std::string command = std::string("python3 ") + QUILLON_DAP_VALIDATOR + " " +
                                    QUILLON_DAP_SCHEMA + " " + sent.string() + " 2>&1";
        std::string faults;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char line[4096];
            while (std::fgets(line, sizeof line, pipe) != nullptr) {
                faults += line;
            }
            if (::pclose(pipe) != 0 && faults.empty()) {
                faults = "the validator failed";
            }
        }
        return faults;
    }
    std::size_t outputs(const std::string& category) const {
        return static_cast<std::size_t>(std::ranges::count_if(seen_, [&category](const json& m) {
            return m.value("event", "") == "output" && m["body"].value("category", "") == category;
        }));
    }
    std::size_t count(const std::string& event_name) const {
        std::size_t n = 0;
        for (const json& m : seen_) {
            n += m.value("event", "") == event_name ? 1 : 0;
        }
        return n;
    }

    // The response to request `seq`; the events before it are kept.
    json response(int seq) {
        return wait_for([seq](const json& m) {
            return m.value("type", "") == "response" && m.value("request_seq", 0) == seq;
        });
    }
    json any_response() {
        return wait_for([](const json& m) { return m.value("type", "") == "response"; });
    }
    json event(const std::string& name) {
        return wait_for([&name](const json& m) {
            return m.value("type", "") == "event" && m.value("event", "") == name;
        });
    }
    // What the output events carried, of one category.
    std::string output(const std::string& category) const {
        std::string text;
        for (const json& m : seen_) {
            if (m.value("event", "") == "output" && m["body"].value("category", "") == category) {
                text += m["body"].value("output", "");
            }
        }
        return text;
    }

private:
    template <typename Wanted>
    json wait_for(Wanted wanted) {
        for (std::size_t i = looked_; i < seen_.size(); ++i) {
            if (wanted(seen_[i])) {
                looked_ = i + 1;
                return seen_[i];
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (auto message = take()) {
                seen_.push_back(*message);
                if (wanted(*message)) {
                    looked_ = seen_.size();
                    return *message;
                }
                continue;
            }
            pollfd ready{server_.out, POLLIN, 0};
            if (::poll(&ready, 1, 100) > 0) {
                char chunk[4096];
                const ssize_t got = ::read(server_.out, chunk, sizeof chunk);
                if (got <= 0) {
                    break;
                }
                buffer_.append(chunk, static_cast<std::size_t>(got));
            }
        }
        ADD_FAILURE() << "no such message came; buffer: " << buffer_;
        return json::object();
    }
    std::optional<json> take() {
        const std::size_t end = buffer_.find("\r\n\r\n");
        if (end == std::string::npos) {
            return std::nullopt;
        }
        const std::size_t length =
            std::stoul(buffer_.substr(buffer_.find(':') + 1, end - buffer_.find(':') - 1));
        if (buffer_.size() < end + 4 + length) {
            return std::nullopt;
        }
        json message = json::parse(buffer_.substr(end + 4, length));
        buffer_.erase(0, end + 4 + length);
        return message;
    }

    Child& server_;
    int seq_ = 0;
    std::string buffer_;
    std::vector<json> seen_;
    std::size_t looked_ = 0;
};

#if defined(QUILLON_DEBUG_IHX)
unsigned line_of(const std::string& marker) {
    std::ifstream in(std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/debug_firmware.c");
    unsigned number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find(marker) != std::string::npos) {
            return number;
        }
    }
    return 0;
}

TEST(CliDap, EditorBreaksReadsAVariableStepsAndRunsToTheResult) {
    if (::access("/usr/bin/s51", X_OK) != 0) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    Scratch scratch;
    const auto server = scratch.start({"debug", "--dap"}, {"DLPORTIO_SIM_MCU=s51"});
    DapClient client(*server);
    const json capabilities =
        client.response(client.request("initialize", {{"adapterID", "quillon"}}));
    EXPECT_TRUE(capabilities["success"].get<bool>());
    EXPECT_TRUE(capabilities["body"]["supportsConfigurationDoneRequest"].get<bool>());

    const json launched = client.response(client.request(
        "launch", {{"program", QUILLON_DEBUG_IHX}, {"sourceDirs", {QUILLON_FIRMWARE_SOURCE_DIR}}}));
    ASSERT_TRUE(launched["success"].get<bool>()) << launched.dump();
    client.event("initialized");

    const unsigned body = line_of("loop body");
    const std::string source = std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/debug_firmware.c";
    const json set = client.response(client.request(
        "setBreakpoints",
        {{"source", {{"path", source}}}, {"breakpoints", {{{"line", body}}, {{"line", 999}}}}}));
    ASSERT_EQ(set["body"]["breakpoints"].size(), 2u) << set.dump();
    EXPECT_TRUE(set["body"]["breakpoints"][0]["verified"].get<bool>());
    EXPECT_EQ(set["body"]["breakpoints"][0]["line"], body);
    EXPECT_FALSE(set["body"]["breakpoints"][1]["verified"].get<bool>()) << "no code at line 999";

    client.response(client.request("configurationDone"));
    const json stopped = client.event("stopped");
    EXPECT_EQ(stopped["body"]["reason"], "breakpoint");

    const json trace = client.response(client.request("stackTrace", {{"threadId", 1}}));
    const json top = trace["body"]["stackFrames"][0];
    EXPECT_EQ(top["name"], "main");
    EXPECT_EQ(top["line"], body);
    EXPECT_EQ(top["source"]["path"], source);

    const json scopes = client.response(client.request("scopes", {{"frameId", 0}}));
    const json locals = client.response(client.request(
        "variables", {{"variablesReference", scopes["body"]["scopes"][0]["variablesReference"]}}));
    ASSERT_FALSE(locals["body"]["variables"].empty()) << locals.dump();
    EXPECT_EQ(locals["body"]["variables"][0]["name"], "i");
    EXPECT_EQ(locals["body"]["variables"][0]["value"], "0 '\\000'");
    const json evaluated =
        client.response(client.request("evaluate", {{"expression", "sum"}, {"frameId", 0}}));
    EXPECT_EQ(evaluated["body"]["result"], "0");

    client.response(client.request("next", {{"threadId", 1}}));
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "step");
    const json after = client.response(client.request("stackTrace", {{"threadId", 1}}));
    EXPECT_EQ(after["body"]["stackFrames"][0]["line"], line_of("the call"));

    client.response(client.request(
        "setBreakpoints", {{"source", {{"path", source}}}, {"breakpoints", json::array()}}));
    client.response(client.request("continue", {{"threadId", 1}}));
    const json exited = client.event("exited");
    EXPECT_EQ(exited["body"]["exitCode"], 0);
    client.event("terminated");
    EXPECT_EQ(client.output("stdout"), "ok\n");
    EXPECT_EQ(client.outputs("stdout"), 1u) << "one line, one event";
    EXPECT_NE(client.output("console").find("firmware result 0\n"), std::string::npos);

    client.response(client.request("disconnect"));
    EXPECT_EQ(client.schema_faults(scratch.dir()), "");
    EXPECT_EQ(server->wait(), 0);
}
// A disconnect before the firmware's result keeps what it wrote on the board
// and ends its simulator.
TEST(CliDap, DisconnectBeforeTheResultKeepsTheRamAndEndsTheSimulator) {
    if (::access("/usr/bin/s51", X_OK) != 0) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    Scratch scratch;
    const std::string mark = "QUILLON_TEST_SESSION=" + scratch.dir().string();
    const auto server = scratch.start({"debug", "--dap"}, {"DLPORTIO_SIM_MCU=s51", mark});
    DapClient client(*server);
    client.response(client.request("initialize", {{"adapterID", "quillon"}}));
    ASSERT_TRUE(client
                    .response(client.request(
                        "launch", {{"program", QUILLON_DEBUG_IHX},
                                   {"sourceDirs", {QUILLON_FIRMWARE_SOURCE_DIR}}}))["success"]
                    .get<bool>());
    client.event("initialized");
    const std::string source = std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/debug_firmware.c";
    client.response(client.request("setBreakpoints",
                                   {{"source", {{"path", source}}},
                                    {"breakpoints", {{{"line", line_of("after the loop")}}}}}));
    client.response(client.request("configurationDone"));
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "breakpoint");
    client.response(client.request("disconnect"));
    server->wait();
    const auto ram = scratch.ram();
    EXPECT_EQ(std::vector<std::uint8_t>(ram.begin() + 0x1800, ram.begin() + 0x1804),
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(processes_with("s51", mark).empty()) << "a simulator outlived its session";
}

const std::string kSource = std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/debug_firmware.c";

json at_line(const std::string& marker, json extra = json::object()) {
    extra["line"] = line_of(marker);
    return extra;
}

// A launched session, stopped where `breakpoints` first stops it.
void launch(DapClient& client, const json& breakpoints, bool stop_on_entry = false) {
    client.ok("initialize", {{"adapterID", "quillon"}});
    client.ok("launch", {{"program", QUILLON_DEBUG_IHX},
                         {"sourceDirs", {QUILLON_FIRMWARE_SOURCE_DIR}},
                         {"stopOnEntry", stop_on_entry}});
    client.event("initialized");
    client.ok("setBreakpoints", {{"source", {{"path", kSource}}}, {"breakpoints", breakpoints}});
    client.ok("configurationDone");
}

json named(const json& variables, const std::string& name) {
    for (const json& v : variables.is_array() ? variables : json::array()) {
        if (v.value("name", "") == name) {
            return v;
        }
    }
    ADD_FAILURE() << "no " << name << " in " << variables.dump();
    return json::object();
}

json scope_variables(DapClient& client, const std::string& scope) {
    const json scopes = client.ok("scopes", {{"frameId", 0}})["scopes"];
    return client.ok("variables", {{"variablesReference",
                                    named(scopes, scope)["variablesReference"]}})["variables"];
}

class CliDapSession : public testing::Test {
protected:
    void SetUp() override {
        if (::access("/usr/bin/s51", X_OK) != 0) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
        server_ = scratch_.start({"debug", "--dap"}, {"DLPORTIO_SIM_MCU=s51"});
        client_ = std::make_unique<DapClient>(*server_);
    }
    // Every message sent was the protocol's; the process's exit status.
    int end() {
        EXPECT_EQ(client_->schema_faults(scratch_.dir()), "");
        return server_->wait();
    }
    Scratch scratch_;
    std::unique_ptr<Child> server_;
    std::unique_ptr<DapClient> client_;
};

// Members and elements by their parent's reference, a global beside a local,
// the ports, memory, a condition, and a UART byte that is not UTF-8.
TEST_F(CliDapSession, ChangesWhatTheEditorShowsByReferenceAndTheRunEndsByIt) {
    DapClient& client = *client_;
    launch(client, json::array({at_line("loop body", {{"condition", "i == 2 && sum == 4"}})}));
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "breakpoint");
    EXPECT_EQ(client.ok("evaluate", {{"expression", "i"}})["result"], "2 '\\002'");
    client.ok("setBreakpoints", {{"source", {{"path", kSource}}},
                                 {"breakpoints", json::array({at_line("after the loop")})}});
    client.ok("continue", {{"threadId", 1}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "breakpoint");

    const json globals = scope_variables(client, "Globals");
    const json last = named(globals, "last");
    EXPECT_EQ(last["memoryReference"].get<std::string>().rfind("xdata:0x", 0), 0u) << last;
    const json set = client.ok(
        "setVariable",
        {{"variablesReference", last["variablesReference"]}, {"name", "channel"}, {"value", "9"}});
    EXPECT_EQ(set["value"], "9 '\\t'");
    const json samples = named(globals, "samples");
    EXPECT_EQ(samples["memoryReference"], "xdata:0x1800");
    client.ok(
        "setVariable",
        {{"variablesReference", samples["variablesReference"]}, {"name", "[2]"}, {"value", "77"}});
    EXPECT_EQ(client.ok("readMemory", {{"memoryReference", "xdata:0x1800"}, {"count", 4}})["data"],
              "AQJNBA==");  // 1, 2, 77, 4
    EXPECT_EQ(client.ok("writeMemory", {{"memoryReference", "xdata:0x1800"},
                                        {"offset", 1},
                                        {"data", "VQ=="}})["bytesWritten"],
              1);
    EXPECT_EQ(client.ok("evaluate", {{"expression", "samples[1]"}})["result"], "85 'U'");
    EXPECT_EQ(client.ok("evaluate", {{"expression", "last.channel"}})["result"], "9 '\\t'");
    // The sum set to 5 in Globals makes the firmware's verdict a failure.
    client.ok("setVariable", {{"variablesReference", 1}, {"name", "sum"}, {"value", "5"}});

    const json ports = scope_variables(client, "Ports");
    ASSERT_GE(ports.size(), 4u) << ports;
    EXPECT_EQ(ports[0]["name"], "P0");
    EXPECT_EQ(ports[3]["name"], "P3");
    EXPECT_EQ(named(ports, "SCON")["value"], "0x50");
    EXPECT_EQ(named(ports, "TH1")["value"], "0xfd");
    client.ok("setVariable", {{"variablesReference", 3}, {"name", "P1"}, {"value", "0x5a"}});
    EXPECT_EQ(named(scope_variables(client, "Ports"), "P1")["value"], "0x5a");

    // One instruction into say('k') the 'k' is in DPL; it becomes 0xE9, not UTF-8.
    client.ok("setBreakpoints", {{"source", {{"path", kSource}}},
                                 {"breakpoints", json::array({at_line("say('k')")})}});
    client.ok("continue", {{"threadId", 1}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "breakpoint");
    client.ok("next", {{"threadId", 1}, {"granularity", "instruction"}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "step");
    const std::string dptr = named(scope_variables(client, "Registers"), "dptr")["value"];
    EXPECT_TRUE(dptr.ends_with("6b")) << dptr;
    EXPECT_EQ(client.ok("setVariable",
                        {{"variablesReference", 2}, {"name", "dptr"}, {"value", "233"}})["value"],
              "0x00e9");
    client.ok("setBreakpoints", {{"source", {{"path", kSource}}}, {"breakpoints", json::array()}});
    client.ok("continue", {{"threadId", 1}});
    EXPECT_EQ(client.event("exited")["body"]["exitCode"], 5);
    EXPECT_EQ(client.output("stdout"), "o\xEF\xBF\xBD\n");
    client.ok("disconnect");
    EXPECT_EQ(end(), 5);
}

// The entry stop, an instruction step, a logpoint, a hit count, the sources,
// a restart, and an end before the firmware's result.
TEST_F(CliDapSession, StepsByInstructionLogsCountsHitsAndEndsEarlyAsNoOutcome) {
    DapClient& client = *client_;
    launch(client,
           {at_line("loop body", {{"logMessage", "i={i}"}}),
            at_line("the call", {{"hitCondition", "3"}})},
           true);
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "entry");
    const json entry = client.ok("stackTrace", {{"threadId", 1}})["stackFrames"][0];
    EXPECT_EQ(entry["name"], "reset at 0x0000");
    EXPECT_EQ(entry["instructionPointerReference"], "0x0000");
    // The reset vector's ljmp, one instruction, to where s51 reads it goes.
    const json ljmp = client.ok("disassemble", {{"memoryReference", "code:0x0000"},
                                                {"instructionCount", 1}})["instructions"][0];
    ASSERT_EQ(ljmp["instructionBytes"].get<std::string>().substr(0, 2), "02") << ljmp;
    client.ok("stepIn", {{"threadId", 1}, {"granularity", "instruction"}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "step");
    const json after = client.ok("stackTrace", {{"threadId", 1}})["stackFrames"][0];
    EXPECT_NE(ljmp["instruction"].get<std::string>().find(after["instructionPointerReference"]),
              std::string::npos)
        << ljmp << " " << after;

    const json sources = client.ok("loadedSources")["sources"];
    EXPECT_EQ(named(sources, "debug_firmware.c")["path"], kSource);

    client.ok("continue", {{"threadId", 1}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "breakpoint");
    EXPECT_EQ(client.ok("evaluate", {{"expression", "i"}})["result"], "2 '\\002'");
    EXPECT_EQ(client.output("console").find("i=0 '\\000'\ni=1 '\\001'\ni=2 '\\002'\n") !=
                  std::string::npos,
              true)
        << client.output("console");

    client.ok("restart");
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "entry");
    EXPECT_EQ(
        client.ok("stackTrace", {{"threadId", 1}})["stackFrames"][0]["instructionPointerReference"],
        "0x0000");
    client.ok("disconnect", {{"terminateDebuggee", true}});
    EXPECT_EQ(end(), 6);
    EXPECT_EQ(client.count("exited"), 0u) << "no result came, so none is told";
    EXPECT_NE(client.output("console").find("the session ended before the firmware's result"),
              std::string::npos);
}

// A data breakpoint on the simulator's watch, then the code around the stop.
TEST_F(CliDapSession, StopsWhenAGlobalIsWrittenAndDisassemblesAroundTheStop) {
    DapClient& client = *client_;
    launch(client, json::array({at_line("loop body")}));
    client.event("stopped");
    client.ok("setBreakpoints", {{"source", {{"path", kSource}}}, {"breakpoints", json::array()}});
    const json info = client.ok("dataBreakpointInfo", {{"variablesReference", 1}, {"name", "sum"}});
    EXPECT_EQ(info["dataId"], "g:sum");
    const json set =
        client.ok("setDataBreakpoints",
                  {{"breakpoints", {{{"dataId", info["dataId"]}, {"accessType", "write"}}}}});
    EXPECT_TRUE(set["breakpoints"][0]["verified"].get<bool>()) << set;
    client.ok("continue", {{"threadId", 1}});
    const json stopped = client.event("stopped")["body"];
    EXPECT_EQ(stopped["reason"], "data breakpoint");
    EXPECT_EQ(stopped["description"], "Old value = 0, new value = 1") << "sum += scaled(0)";

    const std::string pc =
        client.ok("stackTrace", {{"threadId", 1}})["stackFrames"][0]["instructionPointerReference"];
    const json code = client.ok("disassemble", {{"memoryReference", pc},
                                                {"instructionOffset", -3},
                                                {"instructionCount", 6}})["instructions"];
    ASSERT_EQ(code.size(), 6u) << code;
    EXPECT_EQ(code[3]["address"], pc) << code;
    for (std::size_t i = 0; i + 1 < code.size(); ++i) {
        const std::string bytes = code[i]["instructionBytes"];
        EXPECT_EQ(
            std::stoul(code[i + 1]["address"].get<std::string>(), nullptr, 16),
            std::stoul(code[i]["address"].get<std::string>(), nullptr, 16) + (bytes.size() + 1) / 3)
            << "each instruction follows the last: " << code;
    }
    // On to an instruction a few ahead, as the disassembly view sets it.
    client.ok("setDataBreakpoints", {{"breakpoints", json::array()}});
    const json at = client.ok("setInstructionBreakpoints",
                              {{"breakpoints", {{{"instructionReference", code[5]["address"]}}}}});
    EXPECT_TRUE(at["breakpoints"][0]["verified"].get<bool>()) << at;
    client.ok("continue", {{"threadId", 1}});
    EXPECT_EQ(client.event("stopped")["body"]["reason"], "instruction breakpoint");
    EXPECT_EQ(
        client.ok("stackTrace", {{"threadId", 1}})["stackFrames"][0]["instructionPointerReference"],
        code[5]["address"]);
    const json lines = client.ok("breakpointLocations", {{"source", {{"path", kSource}}},
                                                         {"line", line_of("for (i = 0")},
                                                         {"endLine", line_of("the call")}});
    EXPECT_EQ(lines["breakpoints"].back()["line"], line_of("the call")) << lines;
    client.ok("disconnect");
    EXPECT_EQ(end(), 6);
}

TEST_F(CliDapSession, AMissingImageEndsTheSessionWithTerminated) {
    DapClient& client = *client_;
    client.ok("initialize");
    const std::string why =
        client.refused("launch", {{"program", scratch_.path("none.ihx").string()}});
    EXPECT_NE(why.find("none.ihx"), std::string::npos) << why;
    client.event("terminated");
    client.ok("disconnect");
    EXPECT_EQ(end(), 1);
}
#endif

// Input that is not the protocol: a refusal that names the fault where the
// request can be told, else a word on standard error and a clean exit.
struct Malformed {
    const char* bytes;      // sent as they stand when they begin with "Content", else framed
    const char* answer;     // the refusal's message, or "" when the stream ends
    const char* complaint;  // on standard error
};
constexpr Malformed kMalformed[] = {
    {"Content-Length: abc\r\n\r\n", "", "Content-Length must be a byte count"},
    {"Content-Length: 99999999999999999999999\r\n\r\n{}", "", "Content-Length must be"},
    {"Content-Length: -5\r\n\r\n", "", "Content-Length must be"},
    {"Content-Type: json\r\n\r\n{}", "", "a message header without Content-Length"},
    {"[1,2]", nullptr, "a message that is not a JSON object was skipped"},
    {"42", nullptr, "a message that is not a JSON object was skipped"},
    {"null", nullptr, "a message that is not a JSON object was skipped"},
    {"{\"seq\":", nullptr, "a message whose body is not JSON was skipped"},
    {R"({"seq":"1","type":"request","command":"initialize"})", nullptr,
     "a request whose seq is not a whole number from 1 was skipped"},
    {R"({"seq":1,"type":"request","command":5})",
     "a request needs \"command\", the request's name as a string", ""},
    {R"({"seq":1,"type":"request"})", "a request needs \"command\", the request's name as a string",
     ""},
    {R"({"seq":1,"type":"request","command":"frobnicate"})", "unsupported request frobnicate", ""},
    {R"({"seq":1,"type":"request","command":"stackTrace"})",
     "stackTrace: launch first: no firmware is loaded", ""},
    {R"({"seq":1,"type":"request","command":"launch","arguments":{"program":"x.ihx","cycles":"many"}})",
     "launch: cycles must be a positive integer", ""},
    {R"({"seq":1,"type":"request","command":"launch","arguments":{"program":"x.ihx","cycles":-1}})",
     "launch: cycles must be a positive integer", ""},
    {R"({"seq":1,"type":"request","command":"launch","arguments":{"program":7}})",
     "launch: program must be a string", ""},
    {R"({"seq":1,"type":"request","command":"launch","arguments":5})",
     "launch: arguments must be an object", ""},
};

class CliDapMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(CliDapMalformed, NeverAbortsAndTellsWhatIsWrong) {
    const Malformed& m = GetParam();
    Scratch scratch;
    const auto server = scratch.start({"debug", "--dap"});
    DapClient client(*server);
    const std::string bytes = m.bytes;
    if (bytes.starts_with("Content")) {
        client.send_raw(bytes);
    } else {
        client.send_body(bytes);
    }
    if (m.answer != nullptr && *m.answer != '\0') {
        const json refused = client.any_response();
        EXPECT_FALSE(refused.value("success", true));
        EXPECT_EQ(refused.value("message", ""), m.answer) << refused;
    }
    int status = 0;
    if (m.answer == nullptr || *m.answer != '\0') {
        // The session goes on: the next good request is answered.
        const int seq = client.request("initialize");
        EXPECT_TRUE(client.response(seq).value("success", false));
        client.ok("disconnect");
        EXPECT_EQ(client.schema_faults(scratch.dir()), "");
        status = server->wait();
        EXPECT_EQ(status, 0);
    } else {
        EXPECT_EQ(client.schema_faults(scratch.dir()), "");
        status = server->wait();
        EXPECT_EQ(status, 2) << "the stream cannot be followed";
    }
    std::ifstream err(scratch.path("stderr.txt"));
    const std::string said((std::istreambuf_iterator<char>(err)), {});
    EXPECT_NE(said.find(m.complaint), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Inputs, CliDapMalformed, testing::ValuesIn(kMalformed));

}  // namespace
}  // namespace qcli
