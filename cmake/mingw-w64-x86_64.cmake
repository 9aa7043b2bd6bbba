# Cross-compiles the Windows build (x86_64) with Debian's mingw-w64; see mingw-w64-common.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVANE_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
