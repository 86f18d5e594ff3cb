# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: LGPL-2.1-or-later
# vandrel_add_firmware_test(<name> <image>
#     [CYCLES <n> | SIM_TIME <seconds>] [UART_IN <file>] [EXPECT <text>] [FAIL <text>]
#     [FOR <seconds>])
#
# Adds a CTest test that uploads <image> (raw, or Intel HEX as .hex/.ihx) to a
# simulated vandrel board and runs it on the board's 8051 with quillon-cli run:
# it passes when the firmware calls vandrel_sim_exit(0) or prints EXPECT on its
# UART, and fails when the firmware reports a failure, prints FAIL, or the
# budget (CYCLES machine cycles or SIM_TIME simulated seconds) or FOR seconds
# of wall time run out first. UART_IN feeds a file to the UART's input.
#
# Every keyword takes the argument after it as its value, whatever it says:
# FAIL "FAIL" fails the test on the text FAIL. A keyword without a value, an
# empty value, a keyword given twice, CYCLES with SIM_TIME and an argument that
# is no keyword stop the configuration with a message.
#
# Every test runs on a board of its own, the RAM file
# vandrel-boards/<name>.ram in the build folder with its UART log and port
# latches beside it, so `ctest -j$(nproc)` runs a whole suite side by side.
# Relative paths are taken from the build folder, where the test runs.
function(vandrel_add_firmware_test name image)
    set(keywords CYCLES:--cycles SIM_TIME:--sim-time UART_IN:--uart-in EXPECT:--until-uart
                 FAIL:--fail-uart FOR:--for)
    set(options)
    set(given)
    set(index 2)
    while(index LESS ARGC)
        set(keyword "${ARGV${index}}")
        set(pair)
        if(keyword MATCHES "^[A-Z_]+$")
            set(pair ${keywords})
            list(FILTER pair INCLUDE REGEX "^${keyword}:")
        endif()
        if(NOT pair)
            message(FATAL_ERROR
                "vandrel_add_firmware_test(${name}): unknown argument '${keyword}'; the keywords "
                "are CYCLES, SIM_TIME, UART_IN, EXPECT, FAIL and FOR, each with its value")
        endif()
        if(keyword IN_LIST given)
            message(FATAL_ERROR "vandrel_add_firmware_test(${name}): ${keyword} is given twice")
        endif()
        math(EXPR index "${index} + 1")
        if(NOT index LESS ARGC OR "${ARGV${index}}" STREQUAL "")
            message(FATAL_ERROR "vandrel_add_firmware_test(${name}): ${keyword} needs a value")
        endif()
        list(APPEND given ${keyword})
        string(REPLACE "${keyword}:" "" option "${pair}")
        # A text with a semicolon stays one argument.
        string(REPLACE ";" "\\;" value "${ARGV${index}}")
        list(APPEND options ${option} "${value}")
        math(EXPR index "${index} + 1")
    endwhile()
    if("CYCLES" IN_LIST given AND "SIM_TIME" IN_LIST given)
        message(FATAL_ERROR
            "vandrel_add_firmware_test(${name}): CYCLES and SIM_TIME both set the budget: give one")
    endif()
    if(NOT VANDREL_QUILLON_CLI)
        message(FATAL_ERROR
            "vandrel_add_firmware_test(${name}): quillon-cli was not found beside the vandrel "
            "package or on the PATH")
    endif()
    string(MAKE_C_IDENTIFIER "${name}" board)
    add_test(NAME ${name} COMMAND ${VANDREL_QUILLON_CLI} run ${image} ${options})
    # The board's files follow from its RAM file: no variable may send two
    # tests to one UART log, trace or fault.
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT_MODIFICATION
        "DLPORTIO_BACKEND=set:sim;DLPORTIO_SIM_MCU=set:s51;DLPORTIO_SIM_RAM=set:${CMAKE_CURRENT_BINARY_DIR}/vandrel-boards/${board}.ram;DLPORTIO_SIM_UART=unset:;DLPORTIO_SIM_FAULT=unset:;DLPORTIO_TRACE=unset:")
endfunction()
