# SPDX-License-Identifier: MIT
# What Debian wants in /usr/share/doc/PACKAGE of every package: the copyright
# file (machine-readable format), changelog.Debian.gz and the upstream
# changelog.gz; and lintian's overrides. They are made from what the project
# states once: copyright line and licence text from LICENSE, version from
# project(), release date and changes from CHANGELOG.md. They are installed
# only when a component is installed on its own, as CPack does, so a plain
# `cmake --install` stays free of Debian's files.
set(KQ7_DEBIAN_DOC_DIR ${PROJECT_BINARY_DIR}/debian-doc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
find_program(KQ7_GZIP gzip REQUIRED)

# Compresses as Debian does: best ratio, no name and time in the archive, so
# that the same input gives the same bytes.
function(kq7_gzip source destination)
  execute_process(COMMAND ${KQ7_GZIP} -9nc ${source}
    OUTPUT_FILE ${destination}
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The copyright format indents the licence text by one space and writes an
# empty line as " .".
function(kq7_debian_copyright destination)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  if(NOT license MATCHES "Copyright \\(c\\) ([^\n]+)\n+(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE: no line \"Copyright (c) YEAR HOLDER\" followed by the licence text")
  endif()
  set(copyright "${CMAKE_MATCH_1}")
  string(REPLACE "\n\n" "\n.\n" license_text "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " license_text " ${license_text}")
  file(CONFIGURE OUTPUT ${destination} CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@
Upstream-Contact: @CPACK_PACKAGE_CONTACT@

Files: *
Copyright: @copyright@
License: Expat
Comment: The MIT licence; Expat is its name in this format.

License: Expat
@license_text@
]] @ONLY)
endfunction()

# The date of a changelog entry (RFC 5322): noon UTC of the day in the
# version's heading "## [VERSION] - YYYY-MM-DD" of CHANGELOG.md, or the
# build's time (SOURCE_DATE_EPOCH when set) for a version not released yet.
function(kq7_release_date out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md heading
    REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
  if(NOT heading MATCHES "([0-9]+)-0?([0-9]+)-([0-9]+)$")
    string(TIMESTAMP now "%a, %d %b %Y %H:%M:%S +0000" UTC)
    set(${out} "${now}" PARENT_SCOPE)
    return()
  endif()
  set(year ${CMAKE_MATCH_1})
  set(month ${CMAKE_MATCH_2})
  set(day ${CMAKE_MATCH_3})
  # Day of the week by Sakamoto's method (0 is Sunday), in which January and
  # February count as months of the year before.
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR month_index "${month} - 1")
  list(GET month_offsets ${month_index} month_offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${year} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${month_offset} + ${day}) % 7")
  set(weekday_names Sun Mon Tue Wed Thu Fri Sat)
  set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekday_names ${weekday} weekday_name)
  list(GET month_names ${month_index} month_name)
  set(${out} "${weekday_name}, ${day} ${month_name} ${year} 12:00:00 +0000" PARENT_SCOPE)
endfunction()

function(kq7_debian_changelog destination)
  kq7_release_date(date)
  set(version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  file(CONFIGURE OUTPUT ${destination} CONTENT [[
@CPACK_PACKAGE_NAME@ (@version@) unstable; urgency=medium

  * Upstream release @PROJECT_VERSION@; its changes are listed in
    changelog.gz beside this file.

 -- @CPACK_PACKAGE_CONTACT@  @date@
]] @ONLY)
endfunction()

kq7_debian_copyright(${KQ7_DEBIAN_DOC_DIR}/copyright)
kq7_debian_changelog(${KQ7_DEBIAN_DOC_DIR}/changelog.Debian)
kq7_gzip(${KQ7_DEBIAN_DOC_DIR}/changelog.Debian ${KQ7_DEBIAN_DOC_DIR}/changelog.Debian.gz)
kq7_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${KQ7_DEBIAN_DOC_DIR}/changelog.gz)

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  install(FILES
    ${KQ7_DEBIAN_DOC_DIR}/copyright
    ${KQ7_DEBIAN_DOC_DIR}/changelog.Debian.gz
    ${KQ7_DEBIAN_DOC_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    RENAME ${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()
