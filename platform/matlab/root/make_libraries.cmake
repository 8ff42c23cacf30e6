# Makes libmex and libmx of the stand-in MATLAB root. MATLAB's MEX API lives
# in those two libraries; the stand-in has it all in one runtime library, so
# both are made to stand for the runtime, and a MEX file linked against them
# uses the runtime that its host process has already loaded.
#
# Linux: libmex.so and libmx.so are linker scripts naming the runtime, so a
# MEX file needs the runtime by its soname.
# Windows: libmex.dll and libmx.dll forward each of their exports (mex* and
# mx* of the runtime) to the runtime DLL, and their import libraries are
# what a MEX file links, as with MATLAB's own.
#
# Arguments: ROOT, ARCH, SYSTEM (Linux or Windows), RUNTIME (the runtime
# library), C_COMPILER and OBJDUMP (Windows).
set(_bin ${ROOT}/bin/${ARCH})
file(MAKE_DIRECTORY ${_bin})
get_filename_component(_runtime_name ${RUNTIME} NAME)
file(COPY ${RUNTIME} DESTINATION ${_bin})

if(SYSTEM STREQUAL "Linux")
  foreach(_library mex mx)
    file(WRITE ${_bin}/lib${_library}.so
         "/* lib${_library} of the MATLAB stand-in: its runtime library. */\nINPUT(${_bin}/${_runtime_name})\n")
  endforeach()
  return()
endif()

execute_process(COMMAND ${OBJDUMP} -p ${RUNTIME} OUTPUT_VARIABLE _dump RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${RUNTIME} failed: ${_status}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([\t ]+\\[ *[0-9]+\\] [^\n]+\n)+)" _table "${_dump}")
# One name per line once the "[  N] " before each is gone (brackets would
# also keep a CMake list from splitting).
string(REGEX REPLACE "[\t ]+\\[ *[0-9]+\\] " "" _names "${CMAKE_MATCH_1}")
string(STRIP "${_names}" _names)
string(REPLACE "\n" ";" _names "${_names}")
get_filename_component(_runtime_module ${RUNTIME} NAME_WE)
set(_lib ${ROOT}/extern/lib/${ARCH}/mingw64)
file(MAKE_DIRECTORY ${_lib})
foreach(_library mex mx)
  set(_def "LIBRARY lib${_library}.dll\nEXPORTS\n")
  set(_count 0)
  foreach(_name ${_names})
    # mx* belong to libmx, mex* to libmex.
    if((_library STREQUAL "mex" AND _name MATCHES "^mex") OR
       (_library STREQUAL "mx" AND _name MATCHES "^mx"))
      string(APPEND _def "  ${_name} = ${_runtime_module}.${_name}\n")
      math(EXPR _count "${_count} + 1")
    endif()
  endforeach()
  if(_count EQUAL 0)
    message(FATAL_ERROR "${RUNTIME} exports no ${_library}* function")
  endif()
  # Beside the build step, not in the root: a .def is no part of MATLAB.
  set(_def_file ${CMAKE_CURRENT_BINARY_DIR}/lib${_library}.def)
  file(WRITE ${_def_file} "${_def}")
  execute_process(COMMAND ${C_COMPILER} -shared -nostdlib -nostartfiles -o ${_bin}/lib${_library}.dll ${_def_file}
                          -Wl,--out-implib,${_lib}/lib${_library}.lib -Wl,-e,0
                  RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "linking lib${_library}.dll failed: ${_status}")
  endif()
endforeach()
