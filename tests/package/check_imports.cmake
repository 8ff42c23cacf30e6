# Checks that shipped Windows binaries import only DLLs every user has:
# Windows' own, MATLAB's, the image acquisition toolbox's adaptor kit and
# the camera drivers. A MinGW runtime DLL (libstdc++-6, libgcc_s_*,
# libwinpthread-1) would have to be copied into MATLAB's folder, or would
# bind to whichever other version MATLAB's process loaded first.
#
#   cmake -DLAYOUT=<file defining SHIPPED_FILES> -DOBJDUMP=<objdump> -P check_imports.cmake
#   cmake -DSHIPPED_FILES=a.dll;b.mexw64 -DOBJDUMP=<objdump> [-DALLOWED_EXTRA=<dll names>] -P ...
cmake_minimum_required(VERSION 3.25)
if(LAYOUT)
  include(${LAYOUT})
endif()
if(NOT SHIPPED_FILES OR NOT OBJDUMP)
  message(FATAL_ERROR "usage: cmake -DSHIPPED_FILES=<binaries> -DOBJDUMP=<objdump> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

# Lower case; api-ms-win-* stands for the API sets of the universal CRT and
# of Windows itself.
set(_allowed
  # Windows
  kernel32.dll user32.dll advapi32.dll gdi32.dll shell32.dll ole32.dll oleaut32.dll
  ws2_32.dll version.dll ntdll.dll bcrypt.dll shlwapi.dll psapi.dll dbghelp.dll
  msvcrt.dll ucrtbase.dll
  # MATLAB
  libmex.dll libmx.dll
  # the adaptor kit
  imaqmex.dll
  # the camera drivers
  atmcd32d.dll qcamdriver.dll)
foreach(_extra ${ALLOWED_EXTRA})
  string(TOLOWER "${_extra}" _extra)
  list(APPEND _allowed ${_extra})
endforeach()

set(_problems)
foreach(_file ${SHIPPED_FILES})
  get_filename_component(_name "${_file}" NAME)
  if(NOT EXISTS "${_file}")
    list(APPEND _problems "${_name}: not built (${_file})")
    continue()
  endif()
  execute_process(COMMAND ${OBJDUMP} -p "${_file}"
                  OUTPUT_VARIABLE _dump ERROR_VARIABLE _error RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    list(APPEND _problems "${_name}: ${OBJDUMP} -p failed: ${_error}")
    continue()
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" _lines "${_dump}")
  if(NOT _lines)
    list(APPEND _problems "${_name}: no import table in the objdump output")
    continue()
  endif()
  set(_imports)
  set(_foreign)
  foreach(_line ${_lines})
    string(REGEX REPLACE "^DLL Name: *" "" _dll "${_line}")
    string(STRIP "${_dll}" _dll)
    list(APPEND _imports ${_dll})
    string(TOLOWER "${_dll}" _lower)
    if(NOT _lower IN_LIST _allowed AND NOT _lower MATCHES "^api-ms-win-.*\\.dll$")
      list(APPEND _foreign ${_dll})
    endif()
  endforeach()
  list(JOIN _imports ", " _imports)
  if(_foreign)
    list(JOIN _foreign ", " _foreign)
    list(APPEND _problems "${_name} imports ${_foreign} (all: ${_imports})")
  else()
    message(STATUS "${_name}: ${_imports}")
  endif()
endforeach()

if(_problems)
  list(JOIN _problems "\n  " _problems)
  message(FATAL_ERROR "binaries that need more than Windows, MATLAB and the camera drivers:\n  ${_problems}")
endif()
