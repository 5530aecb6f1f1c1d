# SPDX-License-Identifier: MIT
# Run by CPack before it builds the packages (CPACK_PRE_BUILD_SCRIPTS): a
# Debian package keeps its library and pkg-config file in the multiarch
# folder, which GNUInstallDirs chooses only when the build is configured for
# the prefix /usr.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_KQ7_LIBDIR STREQUAL CPACK_KQ7_MULTIARCH_LIBDIR)
  message(FATAL_ERROR "Debian packages need the library folder ${CPACK_KQ7_MULTIARCH_LIBDIR}, "
    "this build installs to ${CPACK_KQ7_LIBDIR}: configure it with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
