// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli debug --dap, driven by a small client of the Debug Adapter
// Protocol over the server's standard input and output, as an editor drives it.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

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
        const std::string body = message.dump();
        const std::string framed =
            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        EXPECT_EQ(::write(server_.in, framed.data(), framed.size()),
                  static_cast<ssize_t>(framed.size()));
        return seq_;
    }

    // The response to request `seq`; the events before it are kept.
    json response(int seq) {
        return wait_for([seq](const json& m) {
            return m.value("type", "") == "response" && m.value("request_seq", 0) == seq;
        });
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
        const std::size_t length = std::stoul(buffer_.substr(buffer_.find(':') + 1, end));
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
    EXPECT_NE(client.output("console").find("firmware result 0\n"), std::string::npos);

    client.response(client.request("disconnect"));
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
#endif

}  // namespace
}  // namespace qcli
