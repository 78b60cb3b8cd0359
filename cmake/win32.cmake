# The 32-bit Windows build: the real platform layer, the monitor, the stand-ins and the tests
# that run under Wine.

# Hardening for everything that ships or stands in; static, so that only system DLLs are imported.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-fstack-protector-strong)
add_link_options(-static -fstack-protector-strong -Wl,--dynamicbase,--nxcompat)

# What ships is lean: nothing in it throws or asks for a type at run time, so without exceptions
# and RTTI the static run-time leaves out its unwinder, demangler and thread library (about 120 KB);
# unused functions and data go at link time. The tests keep the defaults.
set(KESL_LEAN_OPTIONS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections
    -fdata-sections)
target_compile_options(kesl_core PRIVATE ${KESL_LEAN_OPTIONS})

add_library(kesl_platform_win32 STATIC
    platform/win32/files.cpp
    platform/win32/processes.cpp
    platform/win32/clock.cpp
    platform/win32/window.cpp
    platform/win32/tray.cpp
    platform/win32/shell.cpp
)
target_link_libraries(kesl_platform_win32 PUBLIC kesl_core user32 shell32)
target_compile_options(kesl_platform_win32 PRIVATE ${KESL_WARNINGS} ${KESL_LEAN_OPTIONS})

# Every build of one commit links the same bytes: the programs' time stamp, which ld takes from
# SOURCE_DATE_EPOCH, is the commit's time (or the one given in the environment), never the build's.
# A tree from git archive has the commit's time in tools/package/archived-commit; a clone, in git.
# The value is kept in a file that the packaging reads too; a new value relinks the programs.
file(READ ${PROJECT_SOURCE_DIR}/tools/package/archived-commit KESL_ARCHIVED_COMMIT)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(KESL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
elseif(KESL_ARCHIVED_COMMIT MATCHES "^[0-9a-f]+ ([0-9]+)")
    set(KESL_SOURCE_DATE_EPOCH ${CMAKE_MATCH_1})
else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE KESL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_commit)
    if(no_commit)
        message(FATAL_ERROR "No commit to take the build's time from: set SOURCE_DATE_EPOCH to the time of the "
            "commit this tree is, in seconds since 1970 (git log -1 --format=%ct COMMIT)")
    endif()
endif()
if(NOT KESL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds since 1970: ${KESL_SOURCE_DATE_EPOCH}")
endif()
set(KESL_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source_date_epoch)
file(CONFIGURE OUTPUT ${KESL_SOURCE_DATE_EPOCH_FILE} CONTENT "${KESL_SOURCE_DATE_EPOCH}\n")
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KESL_SOURCE_DATE_EPOCH})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_C_LINKER_LAUNCHER})

function(kesl_gui_program target output_name)
    add_executable(${target} WIN32 ${ARGN})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${KESL_WARNINGS} ${KESL_LEAN_OPTIONS})
    target_link_options(${target} PRIVATE -municode -s -Wl,--gc-sections)
    target_link_libraries(${target} PRIVATE kesl_core kesl_platform_win32)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESL_SOURCE_DATE_EPOCH_FILE})
endfunction()

# The icons are rendered from the emblem's drawing into the build tree, where the resource script
# finds them as icons/*.ico.
set(KESL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(KESL_ICONS ${KESL_ICON_DIR}/running.ico ${KESL_ICON_DIR}/stopped.ico ${KESL_ICON_DIR}/small.ico)
add_custom_command(OUTPUT ${KESL_ICONS}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/icons/make_icons.sh ${PROJECT_SOURCE_DIR}/res/icons/emblem.svg ${KESL_ICON_DIR}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/icons/emblem.svg ${PROJECT_SOURCE_DIR}/tools/icons/make_icons.sh
    COMMENT "Rendering the icons")

kesl_gui_program(monitor KeslWebATMMonitor app/win_main.cpp res/KeslWebATMMonitor.rc ${KESL_ICONS})
set_source_files_properties(res/KeslWebATMMonitor.rc PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/res/resource.h;${PROJECT_SOURCE_DIR}/res/version.h;${PROJECT_SOURCE_DIR}/res/KeslWebATMMonitor.manifest;${KESL_ICONS}")
kesl_gui_program(agent_standin KeslWebATMAgent standins/agent_standin.cpp)
kesl_gui_program(terminate_standin KeslTerminateService standins/terminate_standin.cpp)

# GoogleTest from Debian's sources, built with this toolchain.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The tests under Wine drive this build's programs: the 32-bit build's where the host runs 32-bit
# programs, the 64-bit twin's where it does not. The Wine tools pick the prefix and the Wine of the
# build they are told. The package is always made of the 32-bit build's files, which ship.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KESL_WINDOWS_BUILD win32)
    set(KESL_SHIPPED_BUILD ${CMAKE_BINARY_DIR})
else()
    set(KESL_WINDOWS_BUILD win64)
    set(KESL_SHIPPED_BUILD ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH "The 32-bit build whose files ship")
endif()

# Every test under Wine shares one prefix, display and wineserver, set up once and ended last.
set(KESL_TOOLS ${PROJECT_SOURCE_DIR}/tools)
add_test(NAME wine.session.start COMMAND ${KESL_TOOLS}/wine-session.sh start)
add_test(NAME wine.session.stop COMMAND ${KESL_TOOLS}/wine-session.sh stop)
add_test(NAME wine.standins COMMAND ${KESL_TOOLS}/install-standins.sh ${CMAKE_BINARY_DIR})
set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.standins PROPERTIES FIXTURES_SETUP wine DEPENDS wine.session.start)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)

# End to end: the real programs on the virtual desktop, read and driven as a user would.
add_executable(win32_e2e_tests tests/e2e/monitor_test.cpp)
target_link_libraries(win32_e2e_tests PRIVATE gtest_main user32 gdi32 shell32)
target_compile_options(win32_e2e_tests PRIVATE ${KESL_WARNINGS} -Wno-missing-field-initializers)
target_include_directories(win32_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR})
add_dependencies(win32_e2e_tests monitor agent_standin terminate_standin)
add_test(NAME wine.e2e COMMAND win32_e2e_tests)
set_tests_properties(wine.e2e PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 600)

# The installer package, built three times from the shipped monitor (on the twin, from the twin's
# monitor, for the test only), installed, upgraded over a running monitor silently, as a deployment
# system would, and with a basic user interface, refused when older and removed in the prefix.
add_test(NAME wine.package COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh ${KESL_SHIPPED_BUILD})
set_tests_properties(wine.package PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 300 DEPENDS wine.e2e)

set_tests_properties(wine.session.start wine.session.stop wine.standins wine.e2e wine.package PROPERTIES
    LABELS wine ENVIRONMENT KESL_WINDOWS_BUILD=${KESL_WINDOWS_BUILD})

if(KESL_WINDOWS_BUILD STREQUAL win32)
    # The shipped monitor's header, imports and resources, read back with binutils and icoutils.
    add_test(NAME win32.resources COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win32/check_resources.sh $<TARGET_FILE:monitor>)
    # The package signed and verified, without Wine: what must be refused, and a rebuild from a
    # tree made by git archive that must match.
    add_test(NAME package.signing COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/signing_test.sh $<TARGET_FILE_DIR:monitor>)
    set_tests_properties(package.signing PROPERTIES TIMEOUT 300)
endif()

include(cmake/bench.cmake)
