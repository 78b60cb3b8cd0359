# 64-bit Windows: the twin whose programs the tests drive under 64-bit Wine on hosts that run no
# 32-bit programs. It never ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
