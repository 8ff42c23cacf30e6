# GoogleTest, and one helper that makes a test program and registers it.
#
# Native builds take GoogleTest from the system; the Windows builds compile
# Debian's googletest sources with the cross compiler.

if(CAMERA_ON_WINDOWS)
  set(CAMERA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CAMERA_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# camera_add_test(NAME name SOURCES ... LIBRARIES ... LABELS ... [THREADED] [WORKING_DIRECTORY dir])
#
# Every test sees tests/support. LABELS are among unit and integration;
# Windows builds add wine, and THREADED marks a program whose threads
# ThreadSanitizer must check. One CTest test per program: a wine64 start
# costs about a second, so tests are not split per case.
function(camera_add_test)
  cmake_parse_arguments(T "THREADED" "NAME;WORKING_DIRECTORY" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gtest_main project_warnings)
  # What the tests share: fixtures, scratch folders, thread counts.
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  if(CAMERA_THREADED_TESTS_ONLY AND NOT T_THREADED)
    return()
  endif()
  set(_labels ${T_LABELS})
  if(T_THREADED)
    list(APPEND _labels threaded)
  endif()
  if(CAMERA_ON_WINDOWS)
    list(APPEND _labels wine)
  endif()
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${_labels}" TIMEOUT 300)
endfunction()
