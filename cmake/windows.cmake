# Windows: the shipped Setup.exe, and the helpers of its tests under Wine.
enable_language(RC)

# The program throws nothing and asks no type at run time, and formats text
# with the system's own msvcrt (SYS_FormatText): no C++ runtime, unwind tables
# or MinGW printf end up in the image. Unreferenced functions are dropped at
# link time.
set(SETUP_SIZE_OPTIONS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections)
target_compile_options(setup_logic PRIVATE ${SETUP_SIZE_OPTIONS})

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_executable(Setup WIN32
    ${WIN32_SOURCES}
    resources/setup.rc
    ${GENERATED_DIR}/string_table.rc)
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup)
target_include_directories(Setup PRIVATE src ${GENERATED_DIR} resources)
target_compile_options(Setup PRIVATE ${SETUP_WARNINGS} ${SETUP_SIZE_OPTIONS})
target_link_libraries(Setup PRIVATE setup_logic setupapi shlwapi advapi32 shell32 user32 kernel32)
# A file that runs on any Windows without our DLLs beside it: the runtime is
# linked in; ASLR and DEP are on; no symbols are shipped; no time stamp, so
# that one commit always builds the same bytes.
target_link_options(Setup PRIVATE -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
set(SETUP_EXE_SIZE_LIMIT 163840)  # 160 KB, with every language and the icon
add_custom_command(TARGET Setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:Setup> -DLIMIT=${SETUP_EXE_SIZE_LIMIT}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_size.cmake
    VERBATIM)
set_source_files_properties(resources/setup.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/resources/setup.manifest;${CMAKE_SOURCE_DIR}/resources/setup.ico")

enable_testing()
add_subdirectory(tests/wine)
