# SPDX-License-Identifier: MIT
# Debian packages, one per install component:
#   libnerb-kq7lib<major>  the shared library and its SONAME link
#   libnerb-kq7lib-dev     headers, CMake package, pkg-config file, .so link
#   nerb-kq7lib-tools      the kq7 and kq7sim programs
# The library package is named after the SONAME, so that a new major version
# installs beside the old one.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nerb-kq7lib)
set(CPACK_PACKAGE_VENDOR "nerb_kq7lib")
set(CPACK_PACKAGE_CONTACT "nerb_kq7lib maintainers <maintainers@nerb-kq7lib.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
if(KQ7_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL Tools)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

# Dependencies on system libraries come from dpkg-shlibdeps; those between
# the packages from the component dependencies, at the exact same version.
# The tools carry the driver's code themselves (they link it statically, with
# the virtual sensor) and so need no library package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libnerb-kq7lib${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "${PROJECT_DESCRIPTION}: shared library")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libnerb-kq7lib-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "${PROJECT_DESCRIPTION}: header, CMake package and pkg-config file")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME nerb-kq7lib-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "${PROJECT_DESCRIPTION}: command-line tool kq7 and virtual sensor kq7sim")

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake)
endif()
include(CPack)
