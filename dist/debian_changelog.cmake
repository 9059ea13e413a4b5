# The Debian package's changelog and copyright file, written from CHANGELOG.md
# and LICENSE at the top of the tree. Including this file checks that the
# newest release in CHANGELOG.md is the project's version and sets
# SYNTH_RELEASE_EPOCH to its time.
set(changes_file ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changes_file} ${CMAKE_SOURCE_DIR}/LICENSE)

# The lines of a text file as a list, empty lines kept, semicolons as the
# character unit separator, which text never holds.
string(ASCII 31 synth_semicolon)
function(synth_read_lines file out)
  file(READ ${file} text)
  string(REPLACE ";" "${synth_semicolon}" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Writes the file only when its text changes, so that what is made from it is
# not made again.
function(synth_write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

# Releases: synth_release_<n>_version, _date and _items (the item lines as
# written, with "- " or two spaces in front), n from 0 (the newest).
synth_read_lines(${changes_file} change_lines)
set(release_count 0)
foreach(line IN LISTS change_lines)
  if(line MATCHES "^## ([0-9][0-9.]*) \\(([0-9]+-[0-9]+-[0-9]+ [0-9:]+ [-+][0-9]+)\\)$")
    set(n ${release_count})
    math(EXPR release_count "${release_count} + 1")
    set(synth_release_${n}_version ${CMAKE_MATCH_1})
    execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2}" OUTPUT_VARIABLE date
      OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "CHANGELOG.md: ${CMAKE_MATCH_2} is not a date")
    endif()
    set(synth_release_${n}_date "${date}")
    if(n EQUAL 0)
      execute_process(COMMAND date -u +%s -d "${CMAKE_MATCH_2}" OUTPUT_VARIABLE SYNTH_RELEASE_EPOCH
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    set(synth_release_${n}_items "")
  elseif(line MATCHES "^##")
    message(FATAL_ERROR "CHANGELOG.md: a release is written \"## VERSION (YYYY-MM-DD HH:MM:SS +ZZZZ)\", not \"${line}\"")
  elseif(DEFINED n AND line MATCHES "^(- |  )")
    string(LENGTH "${line}" length)
    if(length GREATER 76)
      message(FATAL_ERROR "CHANGELOG.md: longer than 76 columns: ${line}")
    endif()
    list(APPEND synth_release_${n}_items "${line}")
  endif()
endforeach()
if(release_count EQUAL 0 OR NOT synth_release_0_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md: the newest release must be the project's version, ${PROJECT_VERSION}")
endif()

# Debian's changelog format: the newest release under the package's version,
# the older ones with the revision 1.
function(synth_debian_changelog out package_version maintainer)
  set(text "")
  math(EXPR last "${release_count} - 1")
  foreach(n RANGE ${last})
    set(version "${synth_release_${n}_version}-1")
    if(n EQUAL 0)
      set(version ${package_version})
    endif()
    string(APPEND text "synth (${version}) unstable; urgency=medium\n\n")
    foreach(item IN LISTS synth_release_${n}_items)
      if(item MATCHES "^- ")
        string(REGEX REPLACE "^- " "  * " item "${item}")
      else()
        string(REGEX REPLACE "^  " "    " item "${item}")
      endif()
      string(APPEND text "${item}\n")
    endforeach()
    string(APPEND text "\n -- ${maintainer}  ${synth_release_${n}_date}\n")
    if(n LESS last)
      string(APPEND text "\n")
    endif()
  endforeach()
  string(REPLACE "${synth_semicolon}" ";" text "${text}")
  synth_write_if_changed(${out} "${text}")
endfunction()

# The copyright file in Debian's machine-readable format (DEP-5), the
# licence's text taken from LICENSE without its title and copyright line.
function(synth_debian_copyright out)
  synth_read_lines(${CMAKE_SOURCE_DIR}/LICENSE licence_lines)
  list(POP_FRONT licence_lines title)
  string(REGEX REPLACE " License$" "" licence "${title}")
  set(body "")
  foreach(line IN LISTS licence_lines)
    if(line MATCHES "^Copyright ")
      continue()
    elseif(line STREQUAL "")
      if(NOT body STREQUAL "" AND NOT body MATCHES "\n \\.\n$")
        string(APPEND body " .\n")
      endif()
    else()
      string(APPEND body " ${line}\n")
    endif()
  endforeach()
  string(REGEX REPLACE " \\.\n$" "" body "${body}")
  string(REPLACE "${synth_semicolon}" ";" body "${body}")
  synth_write_if_changed(${out}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${SYNTH_COPYRIGHT_YEARS} ${SYNTH_MAINTAINER_NAME}
License: ${licence}
${body}")
endfunction()
