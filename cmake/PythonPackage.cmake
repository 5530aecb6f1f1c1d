# SPDX-License-Identifier: MIT
# The Python package kq7, installed where Debian's /usr/bin/python3 looks
# for the modules of system packages, as the component Python (the Debian
# package python3-kq7). It loads the installed shared library by its SONAME.
set(KQ7_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE PATH
  "Where the Python package kq7 is installed, relative to the prefix")
file(GLOB KQ7_PYTHON_MODULES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/kq7/*.py)
install(FILES ${KQ7_PYTHON_MODULES}
  DESTINATION ${KQ7_PYTHON_INSTALL_DIR}/kq7
  COMPONENT Python)
