# A test program that loads the MEX library <library> through the session
# host: <library>_test, labelled integration, built after the library and
# whatever else it loads (DEPENDS). The libraries are found in the folder the
# build puts them in, except on Windows, where they lie beside the test.
function(camera_add_mex_library_test library)
  cmake_parse_arguments(T "THREADED" "" "SOURCES;LIBRARIES;DEPENDS" ${ARGN})
  set(_threaded)
  if(T_THREADED)
    set(_threaded THREADED)
  endif()
  camera_add_test(NAME ${library}_test
    SOURCES ${T_SOURCES}
    LIBRARIES matlab_runtime ${T_LIBRARIES}
    LABELS integration ${_threaded})
  add_dependencies(${library}_test ${library} ${T_DEPENDS})
  if(NOT CAMERA_ON_WINDOWS)
    target_compile_definitions(${library}_test PRIVATE MEX_DIR="$<TARGET_FILE_DIR:${library}>")
  endif()
endfunction()
