# What every shipped Windows binary carries besides its code: a version
# resource (Explorer's Details tab, and what a user quotes in a report) and
# the compiler runtimes linked in, so MATLAB's process needs no MinGW DLL.
#
# The version is the top-level project's (project(CameraBridge VERSION ...)),
# the one place it is written.
#
#   camera_add_version_resource(<target> "<file description>")
#   camera_link_runtime_statically(<target>)
#
# Both do nothing outside Windows.
include_guard(GLOBAL)

if(CAMERA_ON_WINDOWS OR WIN32)
  # The MinGW platform files enable RC with C and C++; a toolchain that does
  # not still gets it here, at file scope as enable_language demands.
  if(NOT CMAKE_RC_COMPILER_LOADED)
    enable_language(RC)
  endif()
endif()

set(_camera_version_template ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

function(camera_add_version_resource target description)
  if(NOT (CAMERA_ON_WINDOWS OR WIN32))
    return()
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "camera_add_version_resource: no target ${target}")
  endif()
  # The top-level project's version, also when called below a subproject
  # that has a project() of its own.
  if(NOT CMAKE_PROJECT_VERSION)
    message(FATAL_ERROR "camera_add_version_resource: the top-level project() has no VERSION")
  endif()
  set(PROJECT_VERSION ${CMAKE_PROJECT_VERSION})
  set(_numbers)
  foreach(_part MAJOR MINOR PATCH TWEAK)
    if("${CMAKE_PROJECT_VERSION_${_part}}" STREQUAL "")
      list(APPEND _numbers 0)
    else()
      list(APPEND _numbers ${CMAKE_PROJECT_VERSION_${_part}})
    endif()
  endforeach()
  list(JOIN _numbers "," CAMERA_RC_NUMBERS)

  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set(CAMERA_RC_FILETYPE VFT_APP)
  else()
    set(CAMERA_RC_FILETYPE VFT_DLL)
  endif()
  set(CAMERA_RC_TARGET ${target})
  # A resource script string doubles its quotes.
  string(REPLACE "\"" "\"\"" CAMERA_RC_DESCRIPTION "${description}")

  # The file name is known only at generate time (a MEX rule may set the
  # suffix after this call), so the second pass fills it in.
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  configure_file(${_camera_version_template} ${_rc}.in @ONLY)
  file(GENERATE OUTPUT ${_rc} INPUT ${_rc}.in)
  target_sources(${target} PRIVATE ${_rc})
  # tests/package reads the resource back from each of these.
  set_property(GLOBAL APPEND PROPERTY CAMERA_VERSIONED_TARGETS ${target})
endfunction()

function(camera_link_runtime_statically target)
  if(NOT (CAMERA_ON_WINDOWS OR WIN32))
    return()
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "camera_link_runtime_statically: no target ${target}")
  endif()
  if(MINGW OR CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # -static-libstdc++ alone still leaves libwinpthread-1.dll, which the
    # posix thread model's libstdc++ needs; -static makes the driver take
    # libpthread.a too. Import libraries of DLLs are archives as well, so the
    # system, MATLAB, adaptor-kit and camera-driver DLLs stay imported.
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
  endif()
  # MSVC builds keep the runtime DLLs: MATLAB installs the ones it was built with.
endfunction()
