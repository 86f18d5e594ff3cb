# quillon_add_layer(<name> SHARED_SOURCES <source>... CORE_SOURCES <source>...)
#
# A shared library whose code is built once as a static core, so that tests can
# link the core against their own stand-ins. Makes four targets:
#   <name>_headers    INTERFACE: include/, for callers (also once installed)
#   <name>_core       STATIC: CORE_SOURCES, with src/ kept private
#   <name>_internals  INTERFACE: the core plus src/, for the tests and benchmarks only
#   <name>            SHARED: SHARED_SOURCES and the whole core
function(quillon_add_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SHARED_SOURCES;CORE_SOURCES")
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

    add_library(${name} SHARED ${arg_SHARED_SOURCES})
    target_link_libraries(${name}
        PUBLIC ${name}_headers
        PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_core>)
    target_include_directories(${name} PRIVATE ${src})
endfunction()
