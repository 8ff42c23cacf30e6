# Makes libmex and libmx of the stand-in MATLAB root. MATLAB's MEX API lives
# in those two libraries; the stand-in has it all in one runtime library, so
# both are made to stand for the runtime, and a MEX file linked against them
# uses the runtime that its host process has already loaded.
#
# Linux: libmex.so and libmx.so are linker scripts naming the runtime, so a
# MEX file needs the runtime by its soname.
# Windows: libmex.dll and libmx.dll forward each of their exports (mex* and
# mx* of the runtime) to the runtime DLL, and their import libraries are
# what a MEX file links, as with MATLAB's own: in MinGW's format under
# extern/lib/<arch>/mingw64 (IMPORT_FORMAT mingw64), or in Microsoft's,
# written by llvm-dlltool, under extern/lib/<arch>/microsoft (IMPORT_FORMAT
# microsoft), the only kind a 32-bit MATLAB ever shipped.
#
# Arguments: ROOT, ARCH, SYSTEM (Linux or Windows), RUNTIME (the runtime
# library); on Windows C_COMPILER, OBJDUMP, IMPORT_FORMAT and, for
# microsoft, LLVM_DLLTOOL.
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
if(IMPORT_FORMAT STREQUAL "microsoft")
  if(NOT LLVM_DLLTOOL)
    message(FATAL_ERROR "IMPORT_FORMAT microsoft needs LLVM_DLLTOOL")
  endif()
  if(ARCH STREQUAL "win32")
    set(_machine i386)
  else()
    set(_machine i386:x86-64)
  endif()
elseif(NOT IMPORT_FORMAT STREQUAL "mingw64")
  message(FATAL_ERROR "IMPORT_FORMAT is \"${IMPORT_FORMAT}\": mingw64 or microsoft")
endif()
set(_lib ${ROOT}/extern/lib/${ARCH}/${IMPORT_FORMAT})
file(MAKE_DIRECTORY ${_lib})
foreach(_library mex mx)
  set(_def "LIBRARY lib${_library}.dll\nEXPORTS\n")
  set(_imports "LIBRARY lib${_library}.dll\nEXPORTS\n")
  set(_count 0)
  foreach(_name ${_names})
    # mx* belong to libmx, mex* to libmex.
    if((_library STREQUAL "mex" AND _name MATCHES "^mex") OR
       (_library STREQUAL "mx" AND _name MATCHES "^mx"))
      string(APPEND _def "  ${_name} = ${_runtime_module}.${_name}\n")
      string(APPEND _imports "  ${_name}\n")
      math(EXPR _count "${_count} + 1")
    endif()
  endforeach()
  if(_count EQUAL 0)
    message(FATAL_ERROR "${RUNTIME} exports no ${_library}* function")
  endif()
  # Beside the build step, not in the root: a .def is no part of MATLAB.
  set(_def_file ${CMAKE_CURRENT_BINARY_DIR}/lib${_library}.def)
  file(WRITE ${_def_file} "${_def}")
  set(_link ${C_COMPILER} -shared -nostdlib -nostartfiles -o ${_bin}/lib${_library}.dll ${_def_file} -Wl,-e,0)
  if(IMPORT_FORMAT STREQUAL "mingw64")
    list(APPEND _link -Wl,--out-implib,${_lib}/lib${_library}.lib)
  endif()
  execute_process(COMMAND ${_link} RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "linking lib${_library}.dll failed: ${_status}")
  endif()
  if(IMPORT_FORMAT STREQUAL "microsoft")
    # Plain names: the import library names what libmex.dll exports, not
    # where it forwards them. On i386 llvm-dlltool gives each C name its
    # leading underscore, the symbol a cdecl caller references.
    set(_imports_file ${CMAKE_CURRENT_BINARY_DIR}/lib${_library}.imports.def)
    file(WRITE ${_imports_file} "${_imports}")
    execute_process(COMMAND ${LLVM_DLLTOOL} -m ${_machine} -D lib${_library}.dll -d ${_imports_file}
                            -l ${_lib}/lib${_library}.lib
                    RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0)
      message(FATAL_ERROR "${LLVM_DLLTOOL}: lib${_library}.lib failed: ${_status}")
    endif()
  endif()
endforeach()
