# SPDX-License-Identifier: MIT
# Cross-building the Windows DLL with Debian's mingw-w64 (posix threads), for
# the processor that the including toolchain file sets in
# CMAKE_SYSTEM_PROCESSOR (x86_64 or i686).
set(CMAKE_SYSTEM_NAME Windows)
set(KQ7_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${KQ7_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KQ7_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KQ7_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KQ7_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program links the C, C++ and thread runtimes in, like the DLL, so a
# Windows machine (or wine) runs it without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The test programs are Windows programs: list their tests when ctest runs
# (under wine, or on Windows), not right after linking on the build machine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
