# SPDX-License-Identifier: MIT
# Toolchain file: the Windows DLL for 32-bit x86.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# SSE2 arithmetic instead of the x87 unit, whose 80-bit intermediates would
# round the automatic exposure's float and double steps differently from
# x86-64.
set(CMAKE_C_FLAGS_INIT "-mfpmath=sse -msse2")
set(CMAKE_CXX_FLAGS_INIT "-mfpmath=sse -msse2")
