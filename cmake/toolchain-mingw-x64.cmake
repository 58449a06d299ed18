# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVO_MINGW_PREFIX x86_64-w64-mingw32)

# The posix-thread flavour: GCC 12's win32 flavour has no std::mutex or
# std::thread. -static in Windows.cmake links its pthread runtime in.
find_program(ORVO_MINGW_CXX NAMES ${ORVO_MINGW_PREFIX}-g++-posix ${ORVO_MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${ORVO_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ORVO_MINGW_PREFIX}-windres)

# Look for target libraries and headers only in the MinGW sysroot, never in
# the build machine's /usr/include.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

