# Cross-building the Windows programs for 64-bit Windows with MinGW-w64
# (x86_64): the same programs as the i686 build, for machines whose kernel
# runs no 32-bit code and so cannot test the i686 build under Wine.
set(DORVEX_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
