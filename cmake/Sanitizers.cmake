# Instrumented builds, each in its own build directory:
#   LTXG_SANITIZE  the library, the program, the simulator and every test with
#                  AddressSanitizer and UndefinedBehaviorSanitizer (gcc or clang)
#   LTXG_FUZZ      the library and the libFuzzer targets only (clang)
option(LTXG_SANITIZE "Build the program and the tests with ASan and UBSan" OFF)
option(LTXG_FUZZ "Build the library and the libFuzzer targets (needs clang)" OFF)

if(LTXG_SANITIZE AND LTXG_FUZZ)
    message(FATAL_ERROR "LTXG_SANITIZE and LTXG_FUZZ need separate build directories")
endif()

# UBSan findings abort, so that a test or a fuzz run cannot pass over one.
set(LTXG_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

if(LTXG_SANITIZE)
    add_compile_options(${LTXG_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()

# Called once every directory is added. ctest reads the file written here
# before it runs a test: every instrumented process, whichever directory
# added its test and including the program and the simulator that tests
# start, gets the sanitizers' options and writes its findings to its own file
# in one folder. The last test, sanitizer_reports, fails if that folder is
# not empty. A failed allocation returns null as it does outside ASan, so
# that Qt's std::bad_alloc reaches the code that handles it (a damaged
# settings file). Allocations get full stacks, slower but needed: Qt is built
# without frame pointers, and the suppressions name frames above its first.
function(ltxg_add_sanitizer_checks)
    set(reports ${CMAKE_BINARY_DIR}/sanitizer-reports)
    set(suppressions ${CMAKE_SOURCE_DIR}/tests/sanitizers/lsan.supp)
    file(WRITE ${CMAKE_BINARY_DIR}/SanitizerEnvironment.cmake
"file(REMOVE_RECURSE \"${reports}\")
file(MAKE_DIRECTORY \"${reports}\")
set(ENV{ASAN_OPTIONS} \"allocator_may_return_null=1:detect_leaks=1:check_initialization_order=1:fast_unwind_on_malloc=0:log_path=${reports}/asan\")
set(ENV{UBSAN_OPTIONS} \"halt_on_error=1:print_stacktrace=1:log_path=${reports}/ubsan\")
set(ENV{LSAN_OPTIONS} \"suppressions=${suppressions}:print_suppressions=0\")
")
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
                 ${CMAKE_BINARY_DIR}/SanitizerEnvironment.cmake)

    set(pending ${CMAKE_SOURCE_DIR})
    set(tests)
    while(pending)
        list(POP_FRONT pending dir)
        get_property(dir_tests DIRECTORY ${dir} PROPERTY TESTS)
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND tests ${dir_tests})
        list(APPEND pending ${subdirs})
    endwhile()

    find_program(BASH_EXECUTABLE bash REQUIRED)
    add_test(NAME sanitizer_reports
        COMMAND ${BASH_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/sanitizers/reports.sh ${reports})
    set_tests_properties(sanitizer_reports PROPERTIES FIXTURES_CLEANUP sanitizer_reports DEPENDS "${tests}")
endfunction()

if(LTXG_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "LTXG_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Coverage for the whole library; only the fuzz targets link libFuzzer.
    add_compile_options(-fsanitize=fuzzer-no-link ${LTXG_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()
