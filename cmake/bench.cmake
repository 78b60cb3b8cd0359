# The benchmark of `make bench`: the monitor against the smallest possible tray program, measured
# under Wine by a driver. None of it is built by default, so `make test` never waits for it.

# The floor and the reference box are built exactly as the monitor is.
kesl_gui_program(bench_floor_tray KeslBenchFloorTray bench/floor_tray.cpp)
kesl_gui_program(bench_reference_box KeslBenchReferenceBox bench/reference_box.cpp)

add_executable(bench_driver
    bench/bench_driver.cpp bench/startup_figure.cpp bench/idle_figure.cpp bench/command_figure.cpp
    bench/tray_watch.cpp bench/process_cost.cpp bench/programs.cpp bench/upgrade_figure.cpp
    bench/samples.cpp)
target_include_directories(bench_driver PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(bench_driver PRIVATE ${KESL_WARNINGS} -Wno-missing-field-initializers)
target_link_options(bench_driver PRIVATE -municode)
target_link_libraries(bench_driver PRIVATE kesl_desktop user32 gdi32 shell32 psapi)

set_target_properties(bench_floor_tray bench_reference_box bench_driver PROPERTIES EXCLUDE_FROM_ALL ON)
add_custom_target(bench_programs)
add_dependencies(bench_programs monitor agent_standin terminate_standin bench_floor_tray bench_reference_box
    bench_driver handover monitor_upgrade_check)
