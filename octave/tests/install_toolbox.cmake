# Installs the build into a fresh folder, as a user's toolbox folder:
#   cmake -DBUILD_DIR=... -DPREFIX=... -P install_toolbox.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "cmake --install ${BUILD_DIR} failed: ${_result}")
endif()
file(GLOB_RECURSE _installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT _installed)
list(JOIN _installed "\n  " _listing)
message(STATUS "installed in ${PREFIX}:\n  ${_listing}")
