# Build-wide options: warnings, sanitizers, and the platform the libraries
# talk to (the stand-ins on POSIX, the real Windows API under MinGW).

set(CAMERA_SANITIZE "" CACHE STRING "Sanitizers to build with: address;undefined, or thread")
option(CAMERA_BUILD_BENCHMARKS "Build the benchmarks in bench/" OFF)
option(CAMERA_BUILD_OCTAVE "Build the MEX libraries for GNU Octave with mkoctfile" OFF)
option(CAMERA_THREADED_TESTS_ONLY "Register only the tests labelled threaded" OFF)
set(Matlab_ROOT_DIR "" CACHE PATH
    "A MATLAB installation to build the MEX libraries against; empty: the stand-in of platform/matlab")
set(CAMERA_ANDOR_DRIVER_NAME ATMCD32D CACHE STRING
    "File name (without .dll) of the Andor driver DLL the libraries import by ordinal")
set(CAMERA_QCAM_DRIVER_NAME QCamDriver CACHE STRING
    "File name (without .dll) of the QCam driver DLL the libraries import by ordinal")

if(WIN32)
  set(CAMERA_ON_WINDOWS ON)
else()
  set(CAMERA_ON_WINDOWS OFF)
endif()

if(Matlab_ROOT_DIR)
  set(CAMERA_MEX_HOST matlab)
else()
  set(CAMERA_MEX_HOST standin)
endif()

# Warnings for our own targets; third-party code (GoogleTest) does not get them.
add_library(project_warnings INTERFACE)
if(MSVC)
  target_compile_options(project_warnings INTERFACE /W4)
else()
  target_compile_options(project_warnings INTERFACE -Wall -Wextra)
endif()

if(CAMERA_SANITIZE)
  list(JOIN CAMERA_SANITIZE "," _camera_sanitizers)
  add_compile_options(-fsanitize=${_camera_sanitizers} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_camera_sanitizers})
  if("undefined" IN_LIST CAMERA_SANITIZE)
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

if(NOT CAMERA_ON_WINDOWS)
  # On ELF a symbol in a library that was loaded by file name must not bind to
  # a same-named symbol of another such library (each MEX library has its own
  # copy of the bridge): Windows DLLs behave so, and -Bsymbolic gives it here.
  add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>:-Wl,-Bsymbolic>
                   $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,MODULE_LIBRARY>:-Wl,-Bsymbolic>)
endif()

if(CAMERA_ON_WINDOWS AND MINGW)
  # The MinGW runtime DLLs go next to our programs so wine64 (and Windows)
  # finds them without a PATH change.
  get_filename_component(_camera_gcc_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                  OUTPUT_VARIABLE _camera_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                  OUTPUT_VARIABLE _camera_winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_camera_libgcc_name libgcc_s_seh-1.dll)
  else()
    set(_camera_libgcc_name libgcc_s_dw2-1.dll)
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_camera_libgcc_name}
                  OUTPUT_VARIABLE _camera_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  foreach(_dll ${_camera_libstdcxx} ${_camera_winpthread} ${_camera_libgcc})
    if(EXISTS ${_dll})
      file(COPY ${_dll} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    else()
      message(WARNING "MinGW runtime DLL not found: ${_dll}")
    endif()
  endforeach()
endif()
