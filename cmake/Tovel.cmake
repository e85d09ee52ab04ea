# Project-wide helpers: warnings for our own code, and test registration.

function(tovel_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Every target includes by paths from the project's root ("graphics/Bloom.h"), and names that
# folder itself: no library hands an include folder on, so what a library's users can reach is
# only what they include by path, never SDL's, GL's or GTK's folders (the platform libraries
# link those privately).
function(tovel_target name)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    tovel_warnings(${name})
    add_dependencies(${name} tovel_include_rules)
endfunction()

# Only platform/ (and the platform's own tests) may include SDL, OpenGL, GTK and the libraries
# behind them: the build stops with the offending lines otherwise.
add_custom_target(tovel_include_rules
    COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/IncludeRules.cmake
    COMMENT "Checking that only platform/ includes SDL, GL and GTK"
    VERBATIM)

# A subsystem library: one static library per source folder.
function(tovel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    tovel_target(${name})
endfunction()

find_package(GTest REQUIRED)
include(GoogleTest)

# A GoogleTest executable; every case is registered with CTest and given a timeout.
# GUI marks tests that need an X server: they run under xvfb-run. GPU marks tests that draw
# through Mesa: under ThreadSanitizer llvmpipe rasterises on the calling thread, as its own
# threads synchronise in ways the sanitizer cannot see; under AddressSanitizer the leak check is
# off for them, because the checker's own tracer has crashed at the exit of such tests under
# CTest. CHECK_LEAKS keeps it on: the program's end-to-end tests use it, so every drawing
# component is still checked for leaks as the program runs it.
function(tovel_test name)
    cmake_parse_arguments(ARG "GUI;GPU;CHECK_LEAKS" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gtest_main)
    tovel_target(${name})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(ARG_GUI)
        # Discovery and every run of a GUI test go through xvfb-run.
        set_target_properties(${name} PROPERTIES
            CROSSCOMPILING_EMULATOR "xvfb-run;-a;-s;-screen 0 1280x1024x24")
    endif()
    set(environment "")
    if(ARG_GPU AND TOVEL_SANITIZE MATCHES "address" AND NOT ARG_CHECK_LEAKS)
        set(environment ENVIRONMENT "LSAN_OPTIONS=detect_leaks=0")
    elseif(ARG_GPU AND TOVEL_SANITIZE MATCHES "thread")
        set(environment ENVIRONMENT "LP_NUM_THREADS=0")
    endif()
    gtest_discover_tests(${name}
        TEST_PREFIX "${name}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} ${environment})
endfunction()
