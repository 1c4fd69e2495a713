# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model, package
# g++-mingw-w64-x86-64-posix), linking the C and C++ runtimes statically so that the programs
# need no DLLs of their own. Test programs run under wine64 (package wine64). The libraries the
# Windows build makes from Debian's sources (scripts/build-windows) use this file too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TEXELARY_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TEXELARY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEXELARY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TEXELARY_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TEXELARY_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TEXELARY_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TEXELARY_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's wine64 puts its loader here rather than on the PATH.
find_program(TEXELARY_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TEXELARY_WINE64 NAMES wine64 wine)
if(TEXELARY_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TEXELARY_WINE64})
endif()
