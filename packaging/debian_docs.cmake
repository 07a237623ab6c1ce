# The two files every Debian package carries in /usr/share/doc/<package>, made from the
# repository's own: copyright in the machine-readable format (from LICENSE), and changelog.gz in
# Debian's changelog format (from CHANGELOG.md), gzipped with -9n as lintian expects. Run as
#   cmake -DLICENSE=<LICENSE> -DCHANGELOG=<CHANGELOG.md> -DPACKAGE=<name> -DVERSION=<version>
#         -DMAINTAINER="<Name <address>>" -DGZIP=<gzip> -DOUTPUT_DIR=<folder> -P debian_docs.cmake
# It fails when CHANGELOG.md has no entry for VERSION at its top: every version gets one.
cmake_minimum_required(VERSION 3.25)

foreach(required LICENSE CHANGELOG PACKAGE VERSION MAINTAINER GZIP OUTPUT_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "debian_docs.cmake needs -D${required}=...")
  endif()
endforeach()

# The lines of a text file as a list; semicolons in the text become the unit separator here
# (CMake lists are split on them) and are put back when the lines are written.
string(ASCII 31 semicolon_stand_in)
function(read_lines file out)
  file(READ ${file} text)
  string(REPLACE ";" "${semicolon_stand_in}" text "${text}")
  string(REGEX REPLACE "\r?\n$" "" text "${text}")
  string(REGEX REPLACE "\r?\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# copyright: "Copyright (c) <years> <holders>" from LICENSE, and the licence text below it as
# the body of an Expat (MIT) licence paragraph, blank lines written as " .".
read_lines(${LICENSE} license_lines)
set(holders "")
set(body "")
set(in_body FALSE)
foreach(line IN LISTS license_lines)
  if(line MATCHES "^Copyright \\([cC]\\) (.+)$")
    set(holders "${CMAKE_MATCH_1}")
    set(in_body TRUE)
  elseif(in_body AND (body OR NOT line STREQUAL ""))
    if(line STREQUAL "")
      string(APPEND body " .\n")
    else()
      string(APPEND body " ${line}\n")
    endif()
  endif()
endforeach()
if(NOT holders OR NOT body MATCHES "^ Permission is hereby granted")
  message(FATAL_ERROR "${LICENSE} is not the MIT licence with a Copyright (c) line")
endif()
string(REPLACE "${semicolon_stand_in}" ";" body "${body}")
file(WRITE ${OUTPUT_DIR}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${PACKAGE}\n"
  "Upstream-Contact: ${MAINTAINER}\n"
  "\n"
  "Files: *\n"
  "Copyright: ${holders}\n"
  "License: Expat\n"
  "${body}")

# changelog: "## <version> (<yyyy-mm-dd>)" opens an entry, "- " opens an item and two spaces
# continue it. An entry's trailer carries its date in RFC 5322 form, at noon Greenwich.
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(day_names Sun Mon Tue Wed Thu Fri Sat)
# Day of the week by Sakamoto's method: 0 is Sunday.
function(day_of_week year month day out)
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR index "${month} - 1")
  list(GET month_offsets ${index} offset)
  math(EXPR weekday
       "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(${out} ${weekday} PARENT_SCOPE)
endfunction()

read_lines(${CHANGELOG} changelog_lines)
set(changelog "")
set(trailer "")
set(newest "")
foreach(line IN LISTS changelog_lines)
  string(REPLACE "`" "" line "${line}")
  if(line MATCHES "^## ([^ ]+) \\(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])\\)$")
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    set(month_text ${CMAKE_MATCH_3})
    set(day_text ${CMAKE_MATCH_4})
    # Leading zeros would read as octal in math().
    string(REGEX REPLACE "^0" "" month ${month_text})
    string(REGEX REPLACE "^0" "" day ${day_text})
    if(NOT newest)
      set(newest ${version})
    endif()
    day_of_week(${year} ${month} ${day} weekday)
    list(GET day_names ${weekday} weekday_name)
    math(EXPR month_index "${month} - 1")
    list(GET month_names ${month_index} month_name)
    string(APPEND changelog "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(date "${weekday_name}, ${day_text} ${month_name} ${year} 12:00:00 +0000")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(line MATCHES "^## ")
    message(FATAL_ERROR
            "${CHANGELOG}: a version heading is \"## <version> (<yyyy-mm-dd>)\": ${line}")
  elseif(NOT trailer)
    continue()  # the preamble before the first entry
  elseif(line MATCHES "^- (.*)$")
    string(APPEND changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  ([^ ].*)$")
    string(APPEND changelog "    ${CMAKE_MATCH_1}\n")
  elseif(NOT line STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG}: not an item of a list: ${line}")
  endif()
endforeach()
if(NOT newest STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG} has no entry for version ${VERSION} at its top "
                      "(its newest is '${newest}'): add one")
endif()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
string(APPEND changelog "${trailer}")
string(REPLACE "${semicolon_stand_in}" ";" changelog "${changelog}")
file(WRITE ${OUTPUT_DIR}/changelog "${changelog}")
execute_process(COMMAND ${GZIP} -9nf ${OUTPUT_DIR}/changelog RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${GZIP} failed on ${OUTPUT_DIR}/changelog")
endif()
