# Cross-compiles the product, Hibarion.exe for 32-bit Windows, with Debian's mingw-w64.
# i686 makes the top-level build add -msse2 -mfpmath=sse, so that doubles are computed
# exactly as on the host.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HIBARION_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
