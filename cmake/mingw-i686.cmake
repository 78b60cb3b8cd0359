# 32-bit Windows: the build that ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
