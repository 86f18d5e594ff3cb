# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# quillon_add_gtest(<name> <source>...
#                   [LIBRARIES <target>...]         linked privately
#                   [OWN_MAIN]                      a source brings main(): link gtest, not gtest_main
#                   [ENVIRONMENT <VAR=value>...]    set for every test of the program
#                   [DISCOVERY_TIMEOUT <seconds>]   default 30: sanitizer builds start slowly
#                   [TEST_FILTER <gtest filter>])   list only these tests one by one
#
# A GoogleTest program in the build's tests/ folder, each of its tests listed by
# ctest under its own Suite.Name (Prefix/Suite.Name/case for a parameterised
# one: every INSTANTIATE_TEST_SUITE_P names its cases, see quillon_test/param_name.h).
function(quillon_add_gtest name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "OWN_MAIN" "DISCOVERY_TIMEOUT;TEST_FILTER"
                          "LIBRARIES;ENVIRONMENT")
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    if(arg_OWN_MAIN)
        set(gtest GTest::gtest)
    else()
        set(gtest GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} ${gtest})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUILLON_TEST_OUTPUT_DIRECTORY})
    if(NOT arg_DISCOVERY_TIMEOUT)
        set(arg_DISCOVERY_TIMEOUT 30)
    endif()
    # Each case of a parameterised test by the name its generator gives it, not
    # followed by its value, which ctest would show as a byte dump.
    set(discovery DISCOVERY_TIMEOUT ${arg_DISCOVERY_TIMEOUT} NO_PRETTY_VALUES)
    if(arg_TEST_FILTER)
        list(APPEND discovery TEST_FILTER ${arg_TEST_FILTER})
    endif()
    if(arg_ENVIRONMENT)
        gtest_discover_tests(${name} ${discovery} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
    else()
        gtest_discover_tests(${name} ${discovery})
    endif()
endfunction()
