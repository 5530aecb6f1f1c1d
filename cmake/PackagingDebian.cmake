# SPDX-License-Identifier: MIT
# Debian packages, one per install component:
#   libnerb-kq7lib<major>  the shared library and its SONAME link
#   libnerb-kq7lib-dev     headers, CMake package, pkg-config file, .so link
#   nerb-kq7lib-tools      the kq7 and kq7sim programs with their man pages
#   python3-kq7            the Python package kq7, on the library package
# The library package is named after the SONAME, so that a new major version
# installs beside the old one. Each package carries its own copyright file
# and changelog.Debian.gz (cmake/DebianPackageDocs.cmake); lintian checks
# the result (scripts/checks/70-install.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
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

# A description's first line is the synopsis, the rest its extended text
# (lines of at most 80 characters; an empty line ends a paragraph). CPack
# would put the package summary, by default the project's description, before
# each as a second synopsis; an empty summary keeps it out.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(KQ7_DEBIAN_ABOUT [[
nerb_kq7lib drives a KQ7 spectral sensor over a serial link that the host
application owns and lends to the library as two functions, one that writes
and one that reads bytes. Seven exported C functions identify the sensor,
open its shutter, capture spectra, search the right exposure and write the
wavelength calibration.
]])

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libnerb-kq7lib${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "driver library for KQ7 spectral sensors
${KQ7_DEBIAN_ABOUT}
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libnerb-kq7lib-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "driver library for KQ7 spectral sensors - development files
${KQ7_DEBIAN_ABOUT}
This package holds the C header, the CMake package and the pkg-config file.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME nerb-kq7lib-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "command-line host and virtual sensor for KQ7 spectral sensors
kq7 identifies a KQ7 spectral sensor, captures spectra (as CSV or an SVG
plot), searches the right exposure, opens and closes the shutter and writes
the wavelength calibration, on a serial port or against its built-in virtual
sensor.

kq7sim serves a virtual KQ7 sensor on a pseudo-terminal, with faults to
inject, for trying a host without the hardware.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kq7)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_COMPONENT_PYTHON_DEPENDS Runtime)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any, python3-numpy, python3-serial")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "KQ7 spectral sensors from Python
The Python package kq7 drives KQ7 spectral sensors through the shared library
nerb_kq7lib: it lists the sensors attached, identifies them, and captures
spectra as numpy arrays, any number of sensors at once.")

# The library is registered through dpkg's ldconfig trigger, not through
# maintainer scripts; CPack writes such scripts into any package with a
# shared library below /usr/lib, and the script after the build takes them
# out again.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/packaging/debian/drop-ldconfig-scripts.cmake)

# pkg-config files and libraries belong in the multiarch folder, which
# GNUInstallDirs chooses only for the prefix /usr; packaging any other build
# is refused before it starts.
set(CPACK_PRE_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/packaging/debian/require-multiarch.cmake)
set(CPACK_KQ7_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(CPACK_KQ7_MULTIARCH_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})

include(cmake/DebianPackageDocs.cmake)
