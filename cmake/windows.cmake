# Windows: the shipped Setup.exe, and the helpers of its tests under Wine.
enable_language(RC)

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_executable(Setup WIN32
    ${WIN32_SOURCES}
    resources/setup.rc
    ${GENERATED_DIR}/string_table.rc)
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup)
target_include_directories(Setup PRIVATE src ${GENERATED_DIR} resources)
target_compile_options(Setup PRIVATE ${SETUP_WARNINGS})
target_link_libraries(Setup PRIVATE setup_logic setupapi shlwapi advapi32 shell32 user32 kernel32)
# A file that runs on any Windows without our DLLs beside it: the runtime is
# linked in; ASLR and DEP are on; no symbols are shipped.
target_link_options(Setup PRIVATE -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat -s)
set_source_files_properties(resources/setup.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/resources/setup.manifest;${CMAKE_SOURCE_DIR}/resources/setup.ico")

enable_testing()
add_subdirectory(tests/wine)
