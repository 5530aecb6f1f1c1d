# SPDX-License-Identifier: MIT
# Run by CPack after it built the packages (CPACK_POST_BUILD_SCRIPTS). Its
# Debian generator puts postinst and postrm scripts that do nothing but call
# ldconfig into any package with a shared library below /usr/lib, and has no
# switch against it. The packages activate dpkg's ldconfig trigger instead,
# so such scripts are taken out; any other maintainer script stays.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(KQ7_DPKG_DEB dpkg-deb REQUIRED)

# True when the script's only command is ldconfig, inside CPack's guard on
# the maintainer script's action.
function(kq7_only_calls_ldconfig script out)
  file(STRINGS ${script} lines)
  list(FILTER lines EXCLUDE REGEX "^(#!.*|set -e|if \\[ .* \\]; then|fi|[ \t]*)$")
  list(TRANSFORM lines STRIP)
  if(lines STREQUAL "ldconfig")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${KQ7_DPKG_DEB} --raw-extract ${deb} ${tree}
    COMMAND_ERROR_IS_FATAL ANY)
  set(dropped FALSE)
  foreach(script IN ITEMS ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    if(EXISTS ${script})
      kq7_only_calls_ldconfig(${script} only_ldconfig)
      if(only_ldconfig)
        file(REMOVE ${script})
        set(dropped TRUE)
      endif()
    endif()
  endforeach()
  if(dropped)
    execute_process(COMMAND ${KQ7_DPKG_DEB} --root-owner-group --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
