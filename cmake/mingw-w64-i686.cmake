# Cross-compiles the Windows build (i686) with Debian's mingw-w64; see mingw-w64-common.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOLVANE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
