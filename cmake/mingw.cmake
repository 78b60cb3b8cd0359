# Windows with MinGW-w64, for the architecture the including toolchain file names in
# KESL_MINGW_TRIPLET. The posix thread model is the one GoogleTest builds with.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KESL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of this build run in the project's Wine prefix for its architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run.sh)
