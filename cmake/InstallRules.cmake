# SPDX-License-Identifier: MIT
# Installs the shared library, its headers, a CMake package and a pkg-config
# file. Every installed path is relative to the prefix, so an install tree can
# be moved (and the Debian packages are built from the same rules).
include(CMakePackageConfigHelpers)

set(KQ7_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nerb_kq7lib)
set(KQ7_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The versioned library and its SONAME link belong to the runtime, the
# unversioned link (only needed to link against it) to development.
install(TARGETS nerb_kq7lib EXPORT nerb_kq7libTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

if(KQ7_BUILD_STATIC)
  set_target_properties(nerb_kq7lib_static PROPERTIES EXPORT_NAME static)
  install(TARGETS nerb_kq7lib_static EXPORT nerb_kq7libTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
endif()

install(EXPORT nerb_kq7libTargets
  NAMESPACE nerb_kq7lib::
  DESTINATION ${KQ7_CMAKE_PACKAGE_DIR}
  COMPONENT Development)
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/nerb_kq7libConfig.cmake.in
  ${PROJECT_BINARY_DIR}/nerb_kq7libConfig.cmake
  INSTALL_DESTINATION ${KQ7_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/nerb_kq7libConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/nerb_kq7libConfig.cmake
  ${PROJECT_BINARY_DIR}/nerb_kq7libConfigVersion.cmake
  DESTINATION ${KQ7_CMAKE_PACKAGE_DIR}
  COMPONENT Development)

# pkg-config finds the prefix from the .pc file's own place.
file(RELATIVE_PATH KQ7_PC_PREFIX_FROM_PCFILEDIR
  ${CMAKE_INSTALL_PREFIX}/${KQ7_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KQ7_PC_PREFIX_FROM_PCFILEDIR "${KQ7_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/nerb_kq7lib.pc.in
  ${PROJECT_BINARY_DIR}/nerb_kq7lib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nerb_kq7lib.pc
  DESTINATION ${KQ7_PKGCONFIG_DIR}
  COMPONENT Development)

if(KQ7_BUILD_TOOLS)
  include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)
endif()
