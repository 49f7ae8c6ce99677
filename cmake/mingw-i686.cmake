# Cross-building the 32-bit Windows programs with MinGW-w64 (i686): the
# programs that ship.
set(DORVEX_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
