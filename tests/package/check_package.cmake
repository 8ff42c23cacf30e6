# Makes the release zip from a built tree into WORK_DIR, unpacks it and
# checks its layout: one top folder named as the zip, holding every expected
# file, and nothing only a developer needs (import or static libraries).
#
#   cmake -DLAYOUT=<file defining PACKAGE_NAME, EXPECTED> -DBUILD_DIR=<build>
#         -DWORK_DIR=<scratch folder> -DCPACK=<cpack> -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
include(${LAYOUT})
foreach(_v BUILD_DIR WORK_DIR CPACK)
  if(NOT ${_v})
    message(FATAL_ERROR "check_package: ${_v} not given")
  endif()
endforeach()
if(NOT EXISTS ${BUILD_DIR}/CPackConfig.cmake OR NOT PACKAGE_NAME)
  message(FATAL_ERROR "no packaging in ${BUILD_DIR}: the top-level CMakeLists.txt must end with include(CameraPackage)")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/unpacked)
# The install a release makes, into a scratch prefix; then cpack packs that
# folder with the build's own settings. cpack left to install by itself
# would first build the preinstall target, and a test must never build.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/stage
  OUTPUT_VARIABLE _output ERROR_VARIABLE _output RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (is everything built?):\n${_output}")
endif()
file(WRITE ${WORK_DIR}/CPackConfig.cmake
  "include([==[${BUILD_DIR}/CPackConfig.cmake]==])\n"
  "set(CPACK_INSTALL_CMAKE_PROJECTS)\n"
  "set(CPACK_INSTALLED_DIRECTORIES [==[${WORK_DIR}/stage]==] .)\n"
  "set(CPACK_PACKAGE_DIRECTORY [==[${WORK_DIR}]==])\n")
execute_process(COMMAND ${CPACK} -G ZIP --config ${WORK_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${WORK_DIR}
  OUTPUT_VARIABLE _output ERROR_VARIABLE _output RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${_output}")
endif()
set(_zip ${WORK_DIR}/${PACKAGE_NAME}.zip)
if(NOT EXISTS ${_zip})
  file(GLOB _made ${WORK_DIR}/*.zip)
  message(FATAL_ERROR "cpack made no ${PACKAGE_NAME}.zip (made: ${_made})\n${_output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${_zip}
  WORKING_DIRECTORY ${WORK_DIR}/unpacked RESULT_VARIABLE _status ERROR_VARIABLE _error)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${_zip}: ${_error}")
endif()
file(GLOB_RECURSE _entries LIST_DIRECTORIES false RELATIVE ${WORK_DIR}/unpacked ${WORK_DIR}/unpacked/*)
list(SORT _entries)

set(_problems)
foreach(_entry ${_entries})
  if(NOT _entry MATCHES "^${PACKAGE_NAME}/")
    list(APPEND _problems "${_entry} is outside the top folder ${PACKAGE_NAME}/")
  endif()
  if(_entry MATCHES "\\.(a|lib|exp|pdb|o|obj)$")
    list(APPEND _problems "${_entry} is for developers, not users")
  endif()
endforeach()
foreach(_expected ${EXPECTED})
  if(NOT "${PACKAGE_NAME}/${_expected}" IN_LIST _entries)
    list(APPEND _problems "${_expected} missing")
  endif()
endforeach()

list(JOIN _entries "\n  " _listing)
if(_problems)
  list(JOIN _problems "\n  " _problems)
  message(FATAL_ERROR "${PACKAGE_NAME}.zip is wrong:\n  ${_problems}\nIt holds:\n  ${_listing}")
endif()
message(STATUS "${PACKAGE_NAME}.zip holds:\n  ${_listing}")
file(REMOVE_RECURSE ${WORK_DIR})
