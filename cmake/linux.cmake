# Linux: the program on the simulated machine, setup-sim and the tests.
if(SETUP_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB SIM_SOURCES CONFIGURE_DEPENDS src/platform/sim/*.cpp)
add_library(platform_sim STATIC ${SIM_SOURCES} ${GENERATED_DIR}/string_table.cpp)
target_include_directories(platform_sim PUBLIC src)
target_compile_options(platform_sim PRIVATE ${SETUP_WARNINGS})
target_link_libraries(setup_logic PUBLIC platform_sim)

add_executable(setup-sim tools/setup-sim/main.cpp tools/setup-sim/profile_loader.cpp tools/setup-sim/transcript.cpp)
target_include_directories(setup-sim PRIVATE tools)
target_compile_options(setup-sim PRIVATE ${SETUP_WARNINGS})
target_link_libraries(setup-sim PRIVATE setup_logic platform_sim)

enable_testing()
add_subdirectory(tests)
