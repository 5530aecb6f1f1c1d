# SPDX-License-Identifier: MIT
# Toolchain file: the Windows DLL for x86-64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
