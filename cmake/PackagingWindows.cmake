# SPDX-License-Identifier: MIT
# The Windows package: one ZIP per architecture holding everything installed
# (the DLL and kq7.exe in bin, the import library and the .def file in lib,
# the headers in include) with the README and the licence at its top.
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()

# The .def lists the exports with their 32-bit __stdcall decoration, from
# which other toolchains make an import library of their own.
install(FILES ${PROJECT_SOURCE_DIR}/src/nerb_kq7lib.def
  DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION . COMPONENT Runtime)
