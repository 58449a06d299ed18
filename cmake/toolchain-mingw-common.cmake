# Shared by the x64 and x86 MinGW-w64 toolchain files, which set
# CMAKE_SYSTEM_PROCESSOR and ORVO_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)

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
