# SPDX-License-Identifier: MIT
# Section 1 man pages of kq7 and kq7sim, made at build time by help2man from
# the programs' --help, so that they cannot drift apart. A cross build cannot
# run the programs and makes none.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
find_program(KQ7_HELP2MAN help2man)
find_program(KQ7_GZIP gzip)
if(NOT KQ7_HELP2MAN OR NOT KQ7_GZIP)
  message(STATUS "No man pages for kq7 and kq7sim: help2man or gzip not found")
  return()
endif()

set(KQ7_MAN_DIR ${PROJECT_BINARY_DIR}/man)

# help2man finds the program by name on PATH, so that the synopsis shows
# "kq7" and not the build folder; the version comes from the project, so the
# program need not answer --version. With SUBCOMMANDS the page also gets the
# --help of each subcommand (packaging/man/subcommands.cmake). The page is
# compressed as Debian does (best ratio, no name and time in the archive).
function(kq7_man_page program whatis)
  cmake_parse_arguments(PARSE_ARGV 2 arg "SUBCOMMANDS" "" "")
  set(page ${KQ7_MAN_DIR}/${program}.1)
  set(program_dir $<TARGET_FILE_DIR:${program}>)
  set(includes ${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m)
  set(make_includes "")
  if(arg_SUBCOMMANDS)
    set(subcommands ${KQ7_MAN_DIR}/${program}-subcommands.h2m)
    list(APPEND includes ${subcommands})
    set(make_includes COMMAND ${CMAKE_COMMAND} -DPROGRAM_DIR=${program_dir}
      -DPROGRAM=${program} -DOUTPUT=${subcommands}
      -P ${PROJECT_SOURCE_DIR}/packaging/man/subcommands.cmake)
  endif()
  list(TRANSFORM includes PREPEND --include= OUTPUT_VARIABLE include_options)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KQ7_MAN_DIR}
    ${make_includes}
    COMMAND ${CMAKE_COMMAND} -E env PATH=${program_dir}
      ${KQ7_HELP2MAN} --no-info --section=1 --name=${whatis}
        --version-string=${PROJECT_VERSION} ${include_options}
        --output=${page} ${program}
    COMMAND ${KQ7_GZIP} -9nf ${page}
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/man/${program}.h2m
      ${PROJECT_SOURCE_DIR}/packaging/man/subcommands.cmake
    VERBATIM)
  add_custom_target(${program}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
endfunction()

kq7_man_page(kq7 "command-line host for KQ7 spectral sensors" SUBCOMMANDS)
kq7_man_page(kq7sim "virtual KQ7 spectral sensor on a pseudo-terminal")
