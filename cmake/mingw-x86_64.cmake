# The same sources for 64-bit Windows: what the end-to-end tests drive under wine64 on a
# machine that runs no 32-bit programs, where the i686 build cannot be started at all.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HIBARION_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
