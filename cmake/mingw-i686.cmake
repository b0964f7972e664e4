# Cross-compiling for 32-bit Windows with MinGW-w64 (posix thread model).
# Built, not run: this machine's Wine is 64-bit only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
