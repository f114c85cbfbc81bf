# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (package mingw-w64).
set(CMAKE_SYSTEM_NAME Windows)
# i686 makes the top-level build add -msse2 -mfpmath=sse, so that doubles are computed
# exactly as on the host.
set(CMAKE_SYSTEM_PROCESSOR i686)

set(HIBARION_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${HIBARION_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${HIBARION_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${HIBARION_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HIBARION_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
