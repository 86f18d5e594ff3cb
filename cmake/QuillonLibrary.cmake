# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
# quillon_add_layer(<name> [PLUGIN] SHARED_SOURCES <source>... CORE_SOURCES <source>...)
#
# A shared library whose code is built once as a static core, so that tests can
# link the core against their own stand-ins. Makes four targets:
#   <name>_headers    INTERFACE: include/, for callers (also once installed)
#   <name>_core       STATIC: CORE_SOURCES, with src/ kept private
#   <name>_internals  INTERFACE: the core plus src/, for the tests and benchmarks only
#   <name>            SHARED: SHARED_SOURCES and the whole core, soname lib<name>.so.1,
#                     exporting exactly the functions its include/*.h declare;
#                     with PLUGIN a module without soname, for dlopen only
function(quillon_add_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "PLUGIN" "" "SHARED_SOURCES;CORE_SOURCES")
    set(src ${CMAKE_CURRENT_SOURCE_DIR}/src)

    add_library(${name}_headers INTERFACE)
    target_include_directories(${name}_headers INTERFACE
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

    add_library(${name}_core STATIC ${arg_CORE_SOURCES})
    target_link_libraries(${name}_core PUBLIC ${name}_headers)
    target_include_directories(${name}_core PRIVATE ${src})

    add_library(${name}_internals INTERFACE)
    target_include_directories(${name}_internals INTERFACE ${src})
    target_link_libraries(${name}_internals INTERFACE ${name}_core)

    if(arg_PLUGIN)
        add_library(${name} MODULE ${arg_SHARED_SOURCES})
    else()
        add_library(${name} SHARED ${arg_SHARED_SOURCES})
        set_target_properties(${name} PROPERTIES VERSION ${VANDREL_VERSION} SOVERSION 1)
    endif()
    target_link_libraries(${name}
        PUBLIC ${name}_headers
        PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_core>)
    target_include_directories(${name} PRIVATE ${src})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/include/*.h)
    quillon_export_only(${name} ${headers})
endfunction()

# quillon_export_only(<shared library> <header>...)
#
# Links the library with a version script that exports the functions the headers
# declare with their <NAME>_API macro, and hides everything else: without it the
# template code the library instantiates from libstdc++ (std::regex, std::deque)
# would be exported too, and become part of its ABI.
function(quillon_export_only target)
    set(names)
    foreach(header IN LISTS ARGN)
        file(STRINGS ${header} declarations REGEX "^[A-Z0-9_]+_API ")
        foreach(declaration IN LISTS declarations)
            string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)\\(" name "${declaration}")
            list(APPEND names ${CMAKE_MATCH_1})
        endforeach()
    endforeach()
    if(NOT names)
        message(FATAL_ERROR "${target}: no function declared with an _API macro in ${ARGN}")
    endif()
    list(SORT names)
    list(JOIN names ";\n        " globals)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    file(CONFIGURE OUTPUT ${script}
        CONTENT "{\n    global:\n        ${globals};\n    local:\n        *;\n};\n")
    # --no-undefined-version: a declared function that no source defines fails the link.
    target_link_options(${target} PRIVATE LINKER:--version-script=${script}
                        LINKER:--no-undefined-version)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
