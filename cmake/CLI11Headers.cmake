# SPDX-License-Identifier: MIT
# CLI11 for a cross build. It is header-only, but the build machine's package
# configuration puts the whole system include folder on the include path,
# which would bring the build machine's C library headers into a Windows
# build: CLI11::CLI11 here carries a copy of CLI11's own headers and nothing
# else.
find_path(KQ7_CLI11_INCLUDE_DIR CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KQ7_CLI11_HEADERS ${PROJECT_BINARY_DIR}/cli11-headers)
file(COPY ${KQ7_CLI11_INCLUDE_DIR}/CLI DESTINATION ${KQ7_CLI11_HEADERS})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${KQ7_CLI11_HEADERS})
