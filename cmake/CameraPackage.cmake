# The release zip: what `cmake --install` puts in the prefix, in one folder
# named after the version and the architecture, so that unpacking two
# releases, or the two Windows builds, side by side never mixes their files.
#
#   cpack --config <build>/CPackConfig.cmake   ->  camera-bridge-<version>-<arch>.zip
#
# Include it once, at the end of the top-level CMakeLists.txt.
include_guard(GLOBAL)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CAMERA_PACKAGE_ARCH windows-x64)
  else()
    set(CAMERA_PACKAGE_ARCH windows-x86)
  endif()
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CAMERA_PACKAGE_ARCH)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME camera-bridge)
set(CPACK_PACKAGE_VENDOR "The Camera Bridge authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MATLAB MEX functions and an image acquisition adaptor for Andor and QImaging cameras")
set(CPACK_PACKAGE_VERSION ${CMAKE_PROJECT_VERSION})
set(CAMERA_PACKAGE_FILE_NAME camera-bridge-${CMAKE_PROJECT_VERSION}-${CAMERA_PACKAGE_ARCH})
set(CPACK_PACKAGE_FILE_NAME ${CAMERA_PACKAGE_FILE_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The folder at the zip's top level, named as the zip.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only what the default install takes: the import libraries and the like
# belong to components left out of it.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_VERBATIM_VARIABLES ON)

# `cpack --config CPackSourceConfig.cmake`: the sources, without builds.
set(CPACK_SOURCE_GENERATOR ZIP)
set(CPACK_SOURCE_PACKAGE_FILE_NAME camera-bridge-${CMAKE_PROJECT_VERSION}-source)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build/")

include(CPack)
# include(CPack) leaves CPACK_PACKAGE_FILE_NAME set to the source package's
# name; CAMERA_PACKAGE_FILE_NAME keeps the binary one for the tests.
