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

# The .def lets other toolchains make an import library of their own (lib
# /def:...). On 32-bit x86 it keeps the __stdcall decoration, from which such
# an import library binds the plain exported names; x86-64 decorates nothing,
# so its copy lists the plain names.
set(KQ7_PACKAGED_DEF ${PROJECT_SOURCE_DIR}/src/nerb_kq7lib.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  file(READ ${KQ7_PACKAGED_DEF} KQ7_DEF_TEXT)
  string(REGEX REPLACE "@[0-9]+" "" KQ7_DEF_TEXT "${KQ7_DEF_TEXT}")
  set(KQ7_PACKAGED_DEF ${PROJECT_BINARY_DIR}/nerb_kq7lib.def)
  file(WRITE ${KQ7_PACKAGED_DEF} "${KQ7_DEF_TEXT}")
endif()
install(FILES ${KQ7_PACKAGED_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION . COMPONENT Runtime)
