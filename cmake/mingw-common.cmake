# Shared part of the two MinGW-w64 toolchain files. The -posix compilers provide
# std::thread and std::mutex, which GoogleTest and the runtime need.
set(CMAKE_C_COMPILER ${QRT_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QRT_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QRT_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QRT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test binaries of the 64-bit target run under Wine through this wrapper; the
# 32-bit target cannot execute on these machines, so it gets no emulator.
if(QRT_TRIPLE STREQUAL "x86_64-w64-mingw32")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
