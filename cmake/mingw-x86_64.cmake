# Cross compiling the 64-bit test build for 64-bit Windows with MinGW-w64:
# the same source as the shipped i686 Setup.exe, run under Wine's 64-bit
# loader where the machine runs no 32-bit programs. Never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
