# pindle_add_test(<name> [SOURCES <file>...] [LIBRARIES <target>...] [LABELS <label>...]
#                 [GTEST [EXCLUDE <filter>]] [BUS] [DESKTOP])
#
# One test executable and its ctest entries, labelled with <name> (scripts/mutants runs a target's
# suites by that label) and LABELS (GoogleTest cases carry <name> alone). SOURCES defaults to
# <name>.cpp.
#   GTEST    a GoogleTest suite, one ctest entry per case; EXCLUDE leaves cases matching the
#            filter out of discovery (another entry runs them). Otherwise a Qt Test suite on the
#            offscreen platform, one entry.
#   BUS      runs on a hermetic D-Bus session bus: only the services the test starts itself.
#   DESKTOP  runs on a private X display with a window manager, and such a bus (label e2e).
include(GoogleTest)

function(pindle_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "GTEST;BUS;DESKTOP" "EXCLUDE" "SOURCES;LIBRARIES;LABELS")
    if(NOT arg_SOURCES)
        set(arg_SOURCES ${name}.cpp)
    endif()
    list(APPEND arg_LABELS ${name})
    add_executable(${name} ${arg_SOURCES})
    pindle_apply_warnings(${name})

    if(arg_GTEST)
        target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gtest GTest::gtest_main)
        set(filter "*")
        if(arg_EXCLUDE)
            set(filter "-${arg_EXCLUDE}")
        endif()
        # One label, the executable's name: a list would be split into property names on the way
        # through discovery.
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_FILTER ${filter} NO_PRETTY_VALUES
                             PROPERTIES LABELS ${name})
        return()
    endif()

    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} Qt6::Test)
    set(command $<TARGET_FILE:${name}>)
    set(environment QT_QPA_PLATFORM=offscreen)
    # The desktop harness brings up the bus (and the display, used only by DESKTOP tests).
    if(arg_BUS OR arg_DESKTOP)
        list(PREPEND command /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/e2e/desktop.py)
    endif()
    if(arg_DESKTOP)
        set(environment QT_QPA_PLATFORM=xcb)
        list(APPEND arg_LABELS e2e)
    endif()
    add_test(NAME ${name} COMMAND ${command})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" LABELS "${arg_LABELS}" TIMEOUT 120)
endfunction()
