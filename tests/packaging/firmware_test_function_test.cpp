// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The package's vandrel_add_firmware_test() as a firmware project calls it:
// the command line each form of its arguments gives the test, and the forms
// it refuses when the project is configured.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "quillon_test/param_name.h"
#include "shell.h"

namespace quillon::packaging {
namespace {

struct Form {
    const char* arguments;  // after "vandrel_add_firmware_test(t fw.ihx"
    const char* command;    // the test's command after the program, or "" when refused
    const char* refusal;    // the configure error, when refused
};

class FirmwareTestFunction : public ::testing::TestWithParam<Form> {};

TEST_P(FirmwareTestFunction, GivesItsCommandOrRefusesTheForm) {
    const ScratchFolder scratch;
    std::ofstream(scratch / "CMakeLists.txt")
        << "cmake_minimum_required(VERSION 3.25)\nproject(forms NONE)\nenable_testing()\n"
        << "set(VANDREL_QUILLON_CLI " << QUILLON_CLI_PATH << ")\n"
        << "include(" << QUILLON_SOURCE_DIR << "/vandrel/cmake/vandrelFirmwareTest.cmake)\n"
        << "vandrel_add_firmware_test(t fw.ihx " << GetParam().arguments << ")\n";
    const ShellResult configured =
        run_shell(quoted(CMAKE_COMMAND) + " -S " + quoted(scratch.path().string()) + " -B " +
                  quoted((scratch / "build").string()));
    if (std::string(GetParam().command).empty()) {
        EXPECT_NE(configured.exit_code, 0) << configured.output;
        // CMake wraps its messages: the refusal is compared on one line.
        std::string message;
        for (const std::string& line : lines_of(configured.output)) {
            const auto text = line.find_first_not_of(' ');
            message += text == std::string::npos ? "" : " " + line.substr(text);
        }
        EXPECT_NE(message.find(GetParam().refusal), std::string::npos) << configured.output;
        return;
    }
    ASSERT_EQ(configured.exit_code, 0) << configured.output;
    const ShellResult listed =
        run_shell("ctest --test-dir " + quoted((scratch / "build").string()) + " -N -V");
    const std::string expected = std::string("Test command: ") + QUILLON_CLI_PATH +
                                 " \"run\" \"fw.ihx\" " + GetParam().command + "\n";
    EXPECT_NE(listed.output.find(expected), std::string::npos) << "expected " << expected << "in\n"
                                                               << listed.output;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FirmwareTestFunction,
    ::testing::Values(
        // A value that spells a keyword is the value.
        Form{R"(SIM_TIME 10 FAIL "FAIL")", R"("--sim-time" "10" "--fail-uart" "FAIL")", ""},
        Form{R"(EXPECT "EXPECT" FAIL "FOR")", R"("--until-uart" "EXPECT" "--fail-uart" "FOR")", ""},
        Form{R"(CYCLES 3000000 UART_IN in.txt EXPECT "all passed" FOR 5)",
             R"("--cycles" "3000000" "--uart-in" "in.txt" "--until-uart" "all passed" "--for" "5")",
             ""},
        Form{R"(EXPECT "a;b")", R"("--until-uart" "a;b")", ""},
        Form{"FAIL", "", "vandrel_add_firmware_test(t): FAIL needs a value"},
        Form{R"(CYCLES 10 EXPECT "")", "", "vandrel_add_firmware_test(t): EXPECT needs a value"},
        Form{"CYCLES 5 BOGUS 1", "", "unknown argument 'BOGUS'; the keywords are CYCLES"},
        Form{"FAIL x FAIL y", "", "vandrel_add_firmware_test(t): FAIL is given twice"},
        Form{"CYCLES 1 SIM_TIME 2", "", "CYCLES and SIM_TIME both set the budget: give one"}),
    quillon_test::numbered_from([](const Form& form) { return std::string(form.arguments); }));

}  // namespace
}  // namespace quillon::packaging
