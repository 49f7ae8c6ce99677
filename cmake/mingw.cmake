# Cross-building the Windows programs with MinGW-w64 for the processor
# DORVEX_MINGW_PROCESSOR, which the toolchain file including this sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DORVEX_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${DORVEX_MINGW_PROCESSOR}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${DORVEX_MINGW_PROCESSOR}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${DORVEX_MINGW_PROCESSOR}-w64-mingw32-windres)
# Nothing of the build machine's own libraries or headers may leak in.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
