# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVR_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KVR_MINGW}-windres)

# Libraries and headers come from MinGW's tree and from the folder the Windows
# dependencies were built into (passed as CMAKE_PREFIX_PATH); programs from
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KVR_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
