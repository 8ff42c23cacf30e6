# The MATLAB the MEX libraries are built against, when Matlab_ROOT_DIR names
# one: found with CMake's own FindMatlab, as for any MATLAB installation.
#
# A cross build (MinGW-w64 on Linux for Windows) needs three hints, which
# are given here unless set already:
#  - Matlab_MEX_EXTENSION: FindMatlab runs the root's mexext, which cannot
#    run on the build machine (mexw64, or mexw32 for a 32-bit build);
#  - the version: FindMatlab runs the root's matlab for it; it is read from
#    the root's VersionInfo.xml instead (Matlab_VERSION_STRING_INTERNAL);
#  - the find-root modes: the toolchain finds libraries and headers only
#    inside the cross sysroot, and a MATLAB root lies outside it.
# A native configure needs none of them.
#
# Any MinGW build, cross or native, needs a fourth where the root has no
# MinGW import libraries: FindMatlab looks for libmex and libmx only under
# extern/lib/<arch>/mingw64, which 64-bit MATLAB ships since it supports
# MinGW-w64 and 32-bit MATLAB never did. Where that folder lacks them, Matlab_MEX_LIBRARY and
# Matlab_MX_LIBRARY name those of extern/lib/<arch>/microsoft, import
# libraries for Microsoft's linker that GNU ld reads as well.
include_guard(GLOBAL)

if(NOT EXISTS "${Matlab_ROOT_DIR}")
  message(FATAL_ERROR "Matlab_ROOT_DIR is \"${Matlab_ROOT_DIR}\", which does not exist: give the folder "
                      "MATLAB is installed in (the one holding bin/ and extern/)")
endif()

if(CMAKE_CROSSCOMPILING)
  if(NOT DEFINED Matlab_MEX_EXTENSION)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(Matlab_MEX_EXTENSION mexw64 CACHE STRING "Extension of the MEX files")
    else()
      set(Matlab_MEX_EXTENSION mexw32 CACHE STRING "Extension of the MEX files")
    endif()
  endif()
  # Read again at each configure unless given on the command line: the root
  # may have been replaced by another release since.
  if(NOT Matlab_VERSION_STRING_INTERNAL OR Matlab_VERSION_STRING_INTERNAL STREQUAL CAMERA_MATLAB_VERSION_READ)
    file(STRINGS "${Matlab_ROOT_DIR}/VersionInfo.xml" _camera_matlab_version REGEX "<version>")
    if(NOT _camera_matlab_version MATCHES "<version>([0-9]+\\.[0-9]+)")
      message(FATAL_ERROR "No <version> in ${Matlab_ROOT_DIR}/VersionInfo.xml: is it a MATLAB root?")
    endif()
    set(Matlab_VERSION_STRING_INTERNAL ${CMAKE_MATCH_1} CACHE INTERNAL "MATLAB version, from VersionInfo.xml" FORCE)
    set(CAMERA_MATLAB_VERSION_READ ${CMAKE_MATCH_1} CACHE INTERNAL "The version last read from VersionInfo.xml")
  endif()
  foreach(_mode LIBRARY INCLUDE)
    set(_camera_saved_mode_${_mode} ${CMAKE_FIND_ROOT_PATH_MODE_${_mode}})
    set(CMAKE_FIND_ROOT_PATH_MODE_${_mode} BOTH)
  endforeach()
endif()

if(MINGW AND NOT Matlab_MEX_LIBRARY)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_camera_matlab_lib ${Matlab_ROOT_DIR}/extern/lib/win64)
  else()
    set(_camera_matlab_lib ${Matlab_ROOT_DIR}/extern/lib/win32)
  endif()
  if(NOT EXISTS ${_camera_matlab_lib}/mingw64/libmex.lib AND EXISTS ${_camera_matlab_lib}/microsoft/libmex.lib)
    # Plain variables, not cache entries: FindMatlab clears its cached
    # libraries when the root changes, and would then look in mingw64 again.
    set(Matlab_MEX_LIBRARY ${_camera_matlab_lib}/microsoft/libmex.lib)
    set(Matlab_MX_LIBRARY ${_camera_matlab_lib}/microsoft/libmx.lib)
  endif()
endif()

find_package(Matlab REQUIRED)

if(CMAKE_CROSSCOMPILING)
  foreach(_mode LIBRARY INCLUDE)
    set(CMAKE_FIND_ROOT_PATH_MODE_${_mode} ${_camera_saved_mode_${_mode}})
  endforeach()
endif()
message(STATUS "MEX libraries: MATLAB ${Matlab_VERSION_STRING} at ${Matlab_ROOT_DIR} (.${Matlab_MEX_EXTENSION})")
# No such MATLAB ever existed: the root is not a 32-bit MATLAB's, or its
# VersionInfo.xml says something else than what it holds.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND Matlab_VERSION_STRING VERSION_GREATER 8.6)
  message(FATAL_ERROR "${Matlab_ROOT_DIR} is MATLAB ${Matlab_VERSION_STRING}, but no 32-bit MATLAB for Windows "
                      "came after R2015b (8.6): a 32-bit build needs a 32-bit MATLAB's root")
endif()

# A root made from this project's stand-in: its libmex and libmx stand for
# the stand-in runtime, so the tests can load what this build makes into the
# stand-in's session host. Against a real MATLAB there is nothing to test here.
if(EXISTS "${Matlab_ROOT_DIR}/camera-bridge-stand-in")
  set(CAMERA_MATLAB_IS_STAND_IN ON)
  if(CAMERA_ON_WINDOWS)
    # The test programs play MATLAB's executable, which finds libmex and libmx
    # beside itself.
    file(COPY ${Matlab_BINARIES_DIR}/libmex.dll
              ${Matlab_BINARIES_DIR}/libmx.dll
         DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endif()
else()
  set(CAMERA_MATLAB_IS_STAND_IN OFF)
endif()
