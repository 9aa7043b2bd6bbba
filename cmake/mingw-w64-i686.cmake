# Cross-compiles the Windows build (i686) with Debian's mingw-w64; see mingw-w64-common.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOLVANE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# SSE2 arithmetic: every product the layout computes is fixed in double precision. The x87 unit's
# extended precision, or a host that lowered its precision control (some graphics libraries set 24
# bits), would change the results.
# Added as compile options by the top CMakeLists.txt, so that a build tree configured before keeps
# them too (flags of the toolchain's *_INIT kind reach new build trees only).
set(TOLVANE_PROCESSOR_OPTIONS -msse2 -mfpmath=sse)
