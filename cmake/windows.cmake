# Windows: the shipped Setup.exe, and the helpers of its tests under Wine.
enable_language(RC)

# The program throws nothing and asks no type at run time, and formats text
# with the system's own msvcrt (SYS_FormatText): no C++ runtime, unwind tables
# or MinGW printf end up in the image. Unreferenced functions are dropped at
# link time.
set(SETUP_SIZE_OPTIONS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections)
target_compile_options(setup_logic PRIVATE ${SETUP_SIZE_OPTIONS})

# The two targets: i686 is the shipped build, x86_64 a test build of the same
# source for machines that run no 32-bit programs (tests/wine/README.md).
# What differs between them is said here and nowhere else: the manifests'
# processor architecture (Windows refuses a 64-bit program whose manifest
# names X86, and the version query then falls back to 6.2), high-entropy
# ASLR, which only a 64-bit image can have, and the PE format the tests
# expect.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(SETUP_MANIFEST_ARCH amd64)
    set(SETUP_TARGET_LINK_OPTIONS -Wl,--high-entropy-va)
    set(SETUP_PE_FORMAT pei-x86-64)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(SETUP_MANIFEST_ARCH X86)
    set(SETUP_TARGET_LINK_OPTIONS)
    set(SETUP_PE_FORMAT pei-i386)
else()
    message(FATAL_ERROR "no Windows build for the processor '${CMAKE_SYSTEM_PROCESSOR}' (i686 or x86_64)")
endif()
configure_file(resources/setup.manifest.in ${GENERATED_DIR}/setup.manifest @ONLY)
configure_file(resources/setup-check.manifest.in ${GENERATED_DIR}/setup-check.manifest @ONLY)

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
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections -Wl,--no-insert-timestamp -s ${SETUP_TARGET_LINK_OPTIONS})
# 160 KB, with every language and the icon. A signature adds its
# certificates (and a time stamp's) to the file: scripts/release.sh reads the
# limit from the cache and checks the signed file against it as well.
set(SETUP_EXE_SIZE_LIMIT 163840 CACHE INTERNAL "largest Setup.exe in bytes, signed or not")
add_custom_command(TARGET Setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:Setup> -DLIMIT=${SETUP_EXE_SIZE_LIMIT}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_size.cmake
    VERBATIM)
set_source_files_properties(resources/setup.rc PROPERTIES OBJECT_DEPENDS
    "${GENERATED_DIR}/setup.manifest;${CMAKE_SOURCE_DIR}/resources/setup.ico;${CMAKE_SOURCE_DIR}/resources/program_version.h")

# SetupCheck.exe, shipped beside Setup.exe: the same logic on the same
# Windows backend, except that the backend's files which change the machine
# are replaced by the check backend's files of the same name, which record
# instead. A console program, for support staff. A new file of the Windows
# backend comes in as it is: setup_check_exe.pe_check fails should it import
# a function that changes the machine, and the file then wants a check
# counterpart.
file(GLOB CHECK_BACKEND_SOURCES CONFIGURE_DEPENDS src/platform/check/*.cpp)
set(CHECK_WIN32_SOURCES ${WIN32_SOURCES})
list(FILTER CHECK_WIN32_SOURCES EXCLUDE REGEX "/winmain\\.cpp$")
foreach(source IN LISTS CHECK_BACKEND_SOURCES)
    get_filename_component(name ${source} NAME)
    list(FILTER CHECK_WIN32_SOURCES EXCLUDE REGEX "/win32/${name}$")
endforeach()
add_executable(SetupCheck
    tools/setup-check/main.cpp
    tools/setup-check/runtime.cpp
    tools/transcript/transcript.cpp
    tools/transcript/run_explanation.cpp
    src/platform/record/run_record.cpp
    ${CHECK_BACKEND_SOURCES}
    ${CHECK_WIN32_SOURCES}
    resources/setup-check.rc
    ${GENERATED_DIR}/string_table.rc)
target_include_directories(SetupCheck PRIVATE src tools ${GENERATED_DIR} resources)
target_compile_options(SetupCheck PRIVATE ${SETUP_WARNINGS} ${SETUP_SIZE_OPTIONS})
target_link_libraries(SetupCheck PRIVATE setup_logic setupapi shlwapi advapi32 user32 kernel32)
target_link_options(SetupCheck PRIVATE -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections -Wl,--no-insert-timestamp -s ${SETUP_TARGET_LINK_OPTIONS})
set(SETUP_CHECK_EXE_SIZE_LIMIT 163840 CACHE INTERNAL "largest SetupCheck.exe in bytes, signed or not")
add_custom_command(TARGET SetupCheck POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:SetupCheck> -DLIMIT=${SETUP_CHECK_EXE_SIZE_LIMIT}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_size.cmake
    VERBATIM)
set_source_files_properties(resources/setup-check.rc PROPERTIES OBJECT_DEPENDS
    "${GENERATED_DIR}/setup-check.manifest")

enable_testing()
add_subdirectory(tests/wine)
add_subdirectory(tests/release)
