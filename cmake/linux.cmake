# Linux: the program on the simulated machine, setup-sim and the tests.

file(GLOB SIM_SOURCES CONFIGURE_DEPENDS src/platform/sim/*.cpp)
add_library(platform_sim STATIC ${SIM_SOURCES} src/platform/record/run_record.cpp ${GENERATED_DIR}/string_table.cpp)
target_include_directories(platform_sim PUBLIC src)
target_compile_options(platform_sim PRIVATE ${SETUP_WARNINGS})
target_link_libraries(setup_logic PUBLIC platform_sim)

# Machine profiles, read by setup-sim and by the scenario tests alike.
add_library(machine_profiles STATIC tools/setup-sim/profile_loader.cpp)
target_include_directories(machine_profiles PUBLIC tools)
target_compile_options(machine_profiles PRIVATE ${SETUP_WARNINGS})
target_link_libraries(machine_profiles PUBLIC platform_sim)

# The transcript of a run record and why the run went as it did, for
# setup-sim and its tests.
add_library(transcript STATIC tools/transcript/transcript.cpp tools/transcript/run_explanation.cpp)
target_include_directories(transcript PUBLIC tools)
target_compile_options(transcript PRIVATE ${SETUP_WARNINGS})
target_link_libraries(transcript PUBLIC setup_logic)

# The program started as a process of the simulated machine, for setup-sim,
# the tests and the benchmarks alike.
add_library(program_start STATIC tools/setup-sim/program_start.cpp)
target_include_directories(program_start PUBLIC tools)
target_compile_options(program_start PRIVATE ${SETUP_WARNINGS})
target_link_libraries(program_start PUBLIC setup_logic)

# Laying a package onto a machine, and the package check: setup-sim's, and
# the fuzz target's that reads packages.
add_library(setup_sim_tools STATIC
    tools/setup-sim/package_placement.cpp tools/setup-sim/temporary_folder.cpp
    tools/setup-sim/check_command.cpp tools/setup-sim/package_check.cpp tools/setup-sim/package_findings.cpp
    tools/setup-sim/package_reads.cpp
    tools/setup-sim/check_session.cpp tools/setup-sim/check_report.cpp tools/setup-sim/check_progress.cpp)
target_include_directories(setup_sim_tools PUBLIC tools resources)
target_compile_options(setup_sim_tools PRIVATE ${SETUP_WARNINGS})
target_link_libraries(setup_sim_tools PUBLIC setup_logic machine_profiles transcript program_start)

add_executable(setup-sim tools/setup-sim/main.cpp)
target_compile_options(setup-sim PRIVATE ${SETUP_WARNINGS})
target_link_libraries(setup-sim PRIVATE setup_sim_tools)

enable_testing()
add_subdirectory(tests)
