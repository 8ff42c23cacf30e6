# Checks that each MEX file exports what MATLAB calls and nothing else:
# mexFunction, and mexfilerequiredapiversion, which MATLAB asks before the
# first call for the API the file was built against. Anything more would be
# private code other modules could bind to.
#
#   cmake -DLAYOUT=<file defining MEX_FILES> -DOBJDUMP=<objdump> -P check_mex_exports.cmake
#   cmake -DMEX_FILES=a.mexw64;b.mexw64 -DOBJDUMP=<objdump> -P check_mex_exports.cmake
cmake_minimum_required(VERSION 3.25)
if(LAYOUT)
  include(${LAYOUT})
endif()
if(NOT MEX_FILES OR NOT OBJDUMP)
  message(FATAL_ERROR "usage: cmake -DMEX_FILES=<MEX files> -DOBJDUMP=<objdump> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
set(_expected mexFunction mexfilerequiredapiversion)

set(_problems)
foreach(_file ${MEX_FILES})
  get_filename_component(_name "${_file}" NAME)
  execute_process(COMMAND ${OBJDUMP} -p "${_file}" OUTPUT_VARIABLE _dump RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    list(APPEND _problems "${_name}: ${OBJDUMP} -p failed")
    continue()
  endif()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([\t ]+\\[ *[0-9]+\\] [^\n]+\n)*)" _table "${_dump}")
  # Without the "[  N] " in front, each line is a name.
  string(REGEX REPLACE "[\t ]+\\[ *[0-9]+\\] " "" _names "${CMAKE_MATCH_1}")
  string(STRIP "${_names}" _names)
  string(REPLACE "\n" ";" _names "${_names}")
  list(SORT _names)
  set(_want ${_expected})
  list(SORT _want)
  if(NOT _names STREQUAL _want)
    list(JOIN _names ", " _names)
    list(APPEND _problems "${_name} exports: ${_names}")
  else()
    message(STATUS "${_name}: ${_names}")
  endif()
endforeach()

if(_problems)
  list(JOIN _problems "\n  " _problems)
  message(FATAL_ERROR "MEX files must export exactly ${_expected}:\n  ${_problems}")
endif()
