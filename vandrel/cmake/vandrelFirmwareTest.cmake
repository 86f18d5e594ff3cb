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
# Every test runs on a board of its own, the RAM file
# vandrel-boards/<name>.ram in the build folder with its UART log and port
# latches beside it, so `ctest -j$(nproc)` runs a whole suite side by side.
# Relative paths are taken from the build folder, where the test runs.
function(vandrel_add_firmware_test name image)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "CYCLES;SIM_TIME;UART_IN;EXPECT;FAIL;FOR" "")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR
            "vandrel_add_firmware_test(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT VANDREL_QUILLON_CLI)
        message(FATAL_ERROR
            "vandrel_add_firmware_test(${name}): quillon-cli was not found beside the vandrel "
            "package or on the PATH")
    endif()
    set(options)
    foreach(pair CYCLES:--cycles SIM_TIME:--sim-time UART_IN:--uart-in EXPECT:--until-uart
                 FAIL:--fail-uart FOR:--for)
        string(REPLACE ":" ";" pair "${pair}")
        list(GET pair 0 keyword)
        list(GET pair 1 option)
        if(DEFINED arg_${keyword})
            list(APPEND options ${option} "${arg_${keyword}}")
        endif()
    endforeach()
    string(MAKE_C_IDENTIFIER "${name}" board)
    add_test(NAME ${name} COMMAND ${VANDREL_QUILLON_CLI} run ${image} ${options})
    # The board's files follow from its RAM file: no variable may send two
    # tests to one UART log, trace or fault.
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT_MODIFICATION
        "DLPORTIO_BACKEND=set:sim;DLPORTIO_SIM_MCU=set:s51;DLPORTIO_SIM_RAM=set:${CMAKE_CURRENT_BINARY_DIR}/vandrel-boards/${board}.ram;DLPORTIO_SIM_UART=unset:;DLPORTIO_SIM_FAULT=unset:;DLPORTIO_TRACE=unset:")
endfunction()
