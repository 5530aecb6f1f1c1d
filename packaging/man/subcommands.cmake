# SPDX-License-Identifier: MIT
# Writes a help2man include file with a SUBCOMMANDS section: for every
# subcommand that `PROGRAM --help` lists, the text of `PROGRAM NAME --help`.
# Run at build time: cmake -DPROGRAM_DIR=... -DPROGRAM=kq7 -DOUTPUT=... -P
# The program is found on PATH, so that its usage lines show its name and
# not the build folder.
set(ENV{PATH} "${PROGRAM_DIR}")

function(program_help out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help
    OUTPUT_VARIABLE help
    COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

# roff: a backslash is written \e, and a line must not start with a control
# character ("." or "'").
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

program_help(main_help)
if(NOT main_help MATCHES "\nSubcommands:\n(.*)$")
  message(FATAL_ERROR "${PROGRAM} --help lists no subcommands")
endif()
string(REGEX MATCHALL "(^|\n)  [a-z][a-z0-9-]*" names "${CMAKE_MATCH_1}")
list(TRANSFORM names STRIP)

# CLI11 prints a block heading ("Options:"), then each entry as its name
# (words apart by single spaces) and its description two or more spaces
# further on, or on the next lines from column 30 when the name is long. Each entry becomes a tagged
# paragraph, which man fills to the reader's width.
function(roff_blocks text out)
  string(REPLACE "\n" ";" lines "${text}")
  set(roff "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z].*):$")
      string(APPEND roff ".PP\n${CMAKE_MATCH_1}:\n")
    elseif(line MATCHES "^                              (.*)$")
      string(APPEND roff "${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  ([^ ]+( [^ ]+)*)(  +(.*))?$")
      set(term "${CMAKE_MATCH_1}")
      set(description "${CMAKE_MATCH_4}")
      string(REPLACE "-" "\\-" term "${term}")
      string(APPEND roff ".TP\n\\fB${term}\\fR\n${description}\n")
    elseif(NOT line STREQUAL "")
      string(APPEND roff ".PP\n${line}\n")
    endif()
  endforeach()
  string(REPLACE "\n\n" "\n" roff "${roff}")
  set(${out} "${roff}" PARENT_SCOPE)
endfunction()

set(section "[SUBCOMMANDS]\n")
foreach(name IN LISTS names)
  program_help(help ${name})
  if(NOT help MATCHES "Usage: ([^\n]*)\n")
    message(FATAL_ERROR "${PROGRAM} ${name} --help has no usage line")
  endif()
  roff_text("${CMAKE_MATCH_1}" usage)
  string(REGEX REPLACE "Usage: [^\n]*\n" "" details "${help}")
  roff_text("${details}" details)
  roff_blocks("${details}" details)
  string(APPEND section ".SS \"${usage}\"\n${details}")
endforeach()
file(WRITE ${OUTPUT} "${section}")
