# SPDX-License-Identifier: MIT
# Packages of the install components (Runtime, Development, Tools, and
# on Linux Python). What is
# common to every package format is set here; each platform's file below adds
# its generator.
set(CPACK_PACKAGE_NAME nerb-kq7lib)
set(CPACK_PACKAGE_VENDOR "nerb_kq7lib")
set(CPACK_PACKAGE_CONTACT "nerb_kq7lib maintainers <maintainers@nerb-kq7lib.invalid>")
# Debug information is dropped from the packaged binaries, not shipped apart.
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENTS_ALL Runtime Development)
if(KQ7_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL Tools)
endif()

if(UNIX AND NOT APPLE)
  include(cmake/PythonPackage.cmake)
  list(APPEND CPACK_COMPONENTS_ALL Python)
  include(cmake/PackagingDebian.cmake)
endif()

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake)
endif()
include(CPack)
