# Checks that each MEX file exports what MATLAB calls and nothing else.
# What that is depends on the architecture, since each has its own MATLAB
# releases:
#   .mexw64  mexFunction and mexfilerequiredapiversion, which 64-bit MATLAB
#            (R2016b and later) asks before the first call for the API the
#            file was built against;
#   .mexw32  mexFunction alone: the last 32-bit MATLAB, R2015b, predates the
#            API-version query.
# Anything more would be private code other modules could bind to.
#
#   cmake -DLAYOUT=<file defining MEX_FILES> -DOBJDUMP=<objdump> -P check_mex_exports.cmake
#   cmake -DMEX_FILES=a.mexw64;b.mexw32 -DOBJDUMP=<objdump> -P check_mex_exports.cmake
cmake_minimum_required(VERSION 3.25)
if(LAYOUT)
  include(${LAYOUT})
endif()
if(NOT MEX_FILES OR NOT OBJDUMP)
  message(FATAL_ERROR "usage: cmake -DMEX_FILES=<MEX files> -DOBJDUMP=<objdump> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
set(_expected_mexw64 mexFunction mexfilerequiredapiversion)
set(_expected_mexw32 mexFunction)

set(_problems)
foreach(_file ${MEX_FILES})
  get_filename_component(_name "${_file}" NAME)
  get_filename_component(_extension "${_file}" LAST_EXT)
  string(SUBSTRING "${_extension}" 1 -1 _extension)
  if(NOT DEFINED _expected_${_extension})
    list(APPEND _problems "${_name}: not a Windows MEX file (.mexw64 or .mexw32)")
    continue()
  endif()
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
  set(_want ${_expected_${_extension}})
  list(SORT _want)
  list(JOIN _names ", " _shown)
  if(NOT _names STREQUAL _want)
    list(JOIN _want ", " _want)
    list(APPEND _problems "${_name} exports ${_shown}, but a .${_extension} must export exactly ${_want}")
  else()
    message(STATUS "${_name}: ${_shown}")
  endif()
endforeach()

if(_problems)
  list(JOIN _problems "\n  " _problems)
  message(FATAL_ERROR "MEX files with the wrong exports:\n  ${_problems}")
endif()
