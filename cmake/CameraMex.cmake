# The MEX libraries: one table of what each one needs, and one rule that
# builds a MEX library for a host.
#
# Hosts:
#   standin  this project's MATLAB stand-in (platform/matlab), which the
#            tests load MEX libraries into
#   matlab   an installed MATLAB, found by FindMatlab from Matlab_ROOT_DIR
#            (see CameraMatlab.cmake); what a user installs
#   octave   GNU Octave, through mkoctfile --mex (CAMERA_BUILD_OCTAVE), built
#            beside one of the two above
#
# CAMERA_MEX_HOST is the build's own host: standin, or matlab when
# Matlab_ROOT_DIR names a MATLAB installation.
include_guard(GLOBAL)

# What each shipped MEX library needs besides the sources of mex/<name>/:
# the camera driver it calls, and whether it carries a copy of the bridge
# that takes driver events to MATLAB's thread.
#
#   name               driver  bridge
set(CAMERA_MEX_TABLE
  "watchDriverSignal   andor   bridge"
  "submitBuffers       qcam    bridge"
  "takeEarliest        andor   -"
  "snapPicture         qcam    -")

set(CAMERA_MEX_NAMES)
foreach(_row IN LISTS CAMERA_MEX_TABLE)
  string(REGEX MATCH "^[A-Za-z]+" _name "${_row}")
  list(APPEND CAMERA_MEX_NAMES ${_name})
endforeach()

# Only mexFunction (and MATLAB's API-version query) leave a MEX library, so
# its file-scope state and private symbols stay its own and a clear really
# unloads it.
set(CAMERA_MEX_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/mex_exports.map)
set(CAMERA_OCTAVE_MEX_DIR ${PROJECT_BINARY_DIR}/octave/mex)
set(CAMERA_BRIDGE_DIR ${PROJECT_SOURCE_DIR}/asyncmex)
set(CAMERA_BRIDGE_SOURCES ${CAMERA_BRIDGE_DIR}/AsyncMex.cpp ${CAMERA_BRIDGE_DIR}/MatlabCallbackError.cpp)
set(CAMERA_ANDOR_CAMERA_LOCK_SOURCE ${PROJECT_SOURCE_DIR}/drivers/andor_camera_lock.cpp)

# camera_add_mex(NAME name SOURCES ... [HOST standin|matlab|octave]
#                [DRIVER andor|qcam] [BRIDGE] [LIBRARIES target...] [INCLUDES dir...]
#                [DESCRIPTION text] [DESTINATION folder])
#
# Makes the MEX library <name> for HOST (default: the build's own host),
# with the bridge's sources and the driver's binding when asked. The
# stand-in and MATLAB builds make a target <name>; the Octave build makes
# <name>.mex in CAMERA_OCTAVE_MEX_DIR through the target octave_<name>.
# The MATLAB and Octave builds install it into DESTINATION, a folder of the
# toolbox (default: its root; Octave installs only the table's libraries
# there); the stand-in's are for the tests alone.
function(camera_add_mex)
  cmake_parse_arguments(M "BRIDGE" "NAME;HOST;DRIVER;DESCRIPTION;DESTINATION" "SOURCES;LIBRARIES;INCLUDES"
                        ${ARGN})
  if(NOT M_HOST)
    set(M_HOST ${CAMERA_MEX_HOST})
  endif()
  set(_sources ${M_SOURCES})
  set(_includes ${M_INCLUDES})
  if(M_BRIDGE)
    list(APPEND _sources ${CAMERA_BRIDGE_SOURCES})
    list(APPEND _includes ${CAMERA_BRIDGE_DIR})
  endif()
  # Every library that calls the Andor driver shares its current camera, under one lock.
  if(M_DRIVER STREQUAL "andor")
    list(APPEND _sources ${CAMERA_ANDOR_CAMERA_LOCK_SOURCE})
  endif()
  if(M_HOST STREQUAL "octave")
    _camera_add_octave_mex("${M_NAME}" "${_sources}" "${_includes}" "${M_LIBRARIES}" "${M_DRIVER}")
    if(NOT M_DESTINATION AND M_NAME IN_LIST CAMERA_MEX_NAMES)
      set(M_DESTINATION .)
    endif()
    if(M_DESTINATION)
      _camera_install_octave_mex(${M_NAME} ${M_DESTINATION})
    endif()
    return()
  endif()

  set(_libraries ${M_LIBRARIES} platform_windows project_warnings)
  if(M_DRIVER)
    list(APPEND _libraries ${M_DRIVER}_driver)
  endif()
  if(M_HOST STREQUAL "standin")
    add_library(${M_NAME} MODULE ${_sources})
    target_link_libraries(${M_NAME} PRIVATE ${_libraries} matlab_runtime)
    if(CAMERA_ON_WINDOWS)
      if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set_target_properties(${M_NAME} PROPERTIES SUFFIX .mexw64)
      else()
        set_target_properties(${M_NAME} PROPERTIES SUFFIX .mexw32)
      endif()
    else()
      set_target_properties(${M_NAME} PROPERTIES SUFFIX .mexa64)
      target_link_options(${M_NAME} PRIVATE -Wl,--version-script=${CAMERA_MEX_EXPORTS})
      set_property(TARGET ${M_NAME} APPEND PROPERTY LINK_DEPENDS ${CAMERA_MEX_EXPORTS})
    endif()
  elseif(M_HOST STREQUAL "matlab")
    # matlab_add_mex links with the plain target_link_libraries signature,
    # so everything this target links must go the same way.
    matlab_add_mex(NAME ${M_NAME} MODULE SRC ${_sources} LINK_TO ${_libraries})
    if(CAMERA_ON_WINDOWS)
      # Inside MATLAB's process other versions of the MinGW runtime DLLs may
      # already be loaded; a MEX file carries its own.
      camera_link_runtime_statically(${M_NAME})
      camera_add_version_resource(${M_NAME} "${M_DESCRIPTION}")
    endif()
    if(NOT M_DESTINATION)
      set(M_DESTINATION .)
    endif()
    install(TARGETS ${M_NAME} LIBRARY DESTINATION ${M_DESTINATION} RUNTIME DESTINATION ${M_DESTINATION})
    _camera_ship(${M_NAME} ${M_DESTINATION})
    set_property(GLOBAL APPEND PROPERTY CAMERA_MATLAB_MEX_TARGETS ${M_NAME})
  else()
    message(FATAL_ERROR "camera_add_mex: unknown host \"${M_HOST}\" for ${M_NAME} (standin, matlab or octave)")
  endif()
  target_include_directories(${M_NAME} PRIVATE ${_includes})
  set_target_properties(${M_NAME} PROPERTIES
    PREFIX ""
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # MATLAB errors end a call by unwinding through the library's frames
  # (the flag is GCC's and Clang's; Visual C++ has none).
  if(NOT MSVC)
    target_compile_options(${M_NAME} PRIVATE $<$<COMPILE_LANGUAGE:C>:-fexceptions>)
  endif()
endfunction()

# tests/package finds every shipped binary in the zip and checks it: those
# of the toolbox's root listed in CAMERA_SHIPPED_TARGETS, those of its
# simulation folder in CAMERA_SIMULATION_TARGETS.
function(_camera_ship target destination)
  if(destination STREQUAL ".")
    set_property(GLOBAL APPEND PROPERTY CAMERA_SHIPPED_TARGETS ${target})
  elseif(destination STREQUAL CAMERA_SIMULATION_FOLDER)
    set_property(GLOBAL APPEND PROPERTY CAMERA_SIMULATION_TARGETS ${target})
  else()
    message(FATAL_ERROR "${target}: the toolbox has no folder \"${destination}\" (. or ${CAMERA_SIMULATION_FOLDER})")
  endif()
endfunction()

# camera_add_shipped_mex(HOST host): every library of the table, for that host.
function(camera_add_shipped_mex)
  cmake_parse_arguments(S "" "HOST" "" ${ARGN})
  foreach(_row IN LISTS CAMERA_MEX_TABLE)
    string(REGEX REPLACE " +" ";" _fields "${_row}")
    list(GET _fields 0 _name)
    list(GET _fields 1 _driver)
    list(GET _fields 2 _bridge)
    set(_folder ${PROJECT_SOURCE_DIR}/mex/${_name})
    file(GLOB _sources CONFIGURE_DEPENDS ${_folder}/*.cpp)
    if(NOT _sources)
      message(FATAL_ERROR "camera_add_shipped_mex: no sources in ${_folder} for the MEX library ${_name}")
    endif()
    set(_options)
    if(_bridge STREQUAL "bridge")
      list(APPEND _options BRIDGE)
    endif()
    camera_add_mex(NAME ${_name} HOST ${S_HOST} SOURCES ${_sources} DRIVER ${_driver} ${_options}
                   DESCRIPTION "${_name}: MEX function of the Camera Bridge toolbox")
  endforeach()
endfunction()

# The Octave build: <name>.mex made by mkoctfile --mex, with the same
# exports and symbol binding as the other hosts (each library keeps its own
# copy of the bridge); the stand-in libraries it needs linked by name, with
# an rpath to where they were built.
set(_camera_driver_library_andor ATMCD32D)
set(_camera_driver_library_qcam QCamDriver)
function(_camera_add_octave_mex name sources includes libraries driver)
  if(NOT CAMERA_MKOCTFILE)
    find_program(CAMERA_MKOCTFILE mkoctfile REQUIRED)
  endif()
  set(_output ${CAMERA_OCTAVE_MEX_DIR}/${name}.mex)
  # mkoctfile leaves its objects in the working folder, named after the sources.
  set(_objects ${CMAKE_CURRENT_BINARY_DIR}/objects/${name})
  file(MAKE_DIRECTORY ${_objects} ${CAMERA_OCTAVE_MEX_DIR})
  set(_flags -I${PROJECT_SOURCE_DIR} -I${PROJECT_SOURCE_DIR}/platform/win32/include)
  set(_headers)
  foreach(_source ${sources})
    get_filename_component(_dir ${_source} DIRECTORY)
    list(APPEND includes ${_dir})
  endforeach()
  list(REMOVE_DUPLICATES includes)
  foreach(_dir ${includes})
    list(APPEND _flags -I${_dir})
    file(GLOB _found ${_dir}/*.h)
    list(APPEND _headers ${_found})
  endforeach()
  file(GLOB _sharedHeaders ${PROJECT_SOURCE_DIR}/drivers/*.h ${PROJECT_SOURCE_DIR}/mex/common/*.h
       ${PROJECT_SOURCE_DIR}/platform/win32/include/*.h)
  list(APPEND libraries win32)
  if(driver)
    list(APPEND libraries ${_camera_driver_library_${driver}})
  endif()
  list(REMOVE_DUPLICATES libraries)
  # The toolbox folder's own places come first (mkoctfile hands its
  # arguments to a shell, hence the escaped $); the build's follow, and the
  # install keeps only the former (_camera_install_octave_mex).
  set(_links "-Wl,-rpath,\\$ORIGIN:\\$ORIGIN/simulation:\\$ORIGIN/..")
  foreach(_library ${libraries})
    list(APPEND _links -L$<TARGET_FILE_DIR:${_library}> -l${_library} -Wl,-rpath,$<TARGET_FILE_DIR:${_library}>)
  endforeach()
  # As in the ELF builds for MATLAB: a library of a driver's name without the
  # symbols asked for (the vendor's, loaded first) fails the load, not a call.
  add_custom_command(OUTPUT ${_output}
    COMMAND ${CMAKE_COMMAND} -E env "CXXFLAGS=-std=c++17 -O2 -g -Wall -Wextra"
            ${CAMERA_MKOCTFILE} --mex -o ${_output} ${_flags} ${sources} ${_links}
            -Wl,--version-script=${CAMERA_MEX_EXPORTS} -Wl,-Bsymbolic -Wl,-z,now
    DEPENDS ${sources} ${_headers} ${_sharedHeaders} ${libraries} ${CAMERA_MEX_EXPORTS}
    WORKING_DIRECTORY ${_objects}
    COMMENT "mkoctfile --mex ${name}"
    VERBATIM)
  add_custom_target(octave_${name} ALL DEPENDS ${_output})
  add_dependencies(octave_mex octave_${name})
endfunction()

# An Octave MEX file installed into a folder of the toolbox, its RUNPATH
# cut to the toolbox folder's own places, relative to it: the Win32
# stand-in in the root (CAMERA_OCTAVE_WIN32_DESTINATION) and the simulated
# drivers in the simulation folder. A copy of the folder then runs wherever
# it is put, without the build tree.
set(CAMERA_OCTAVE_WIN32_DESTINATION .)
function(_camera_install_octave_mex name destination)
  install(FILES ${CAMERA_OCTAVE_MEX_DIR}/${name}.mex DESTINATION ${destination})
  if(destination STREQUAL ".")
    set(_runpath "$ORIGIN:$ORIGIN/simulation")
  else()
    set(_runpath "$ORIGIN:$ORIGIN/..")
  endif()
  install(CODE "file(RPATH_SET FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/${name}.mex\"
                          NEW_RPATH \"${_runpath}\")")
endfunction()

# The toolbox's simulation folder: the simulated drivers and camsim, their
# control MEX, which a user loads ahead of any camera library
# (useSimulatedCameras) so that every library binds to the simulated
# drivers instead of the vendors'.
set(CAMERA_SIMULATION_FOLDER simulation)
# camsim's sources; their folder's one name.
set(CAMERA_CAMSIM_DIR ${PROJECT_SOURCE_DIR}/platform/camsim)

# camera_add_camsim(HOST host): camsim for that host, installed into the
# simulation folder. Its host commands read the Win32 stand-in's test
# controls, which real Windows lacks: a Windows build has none.
function(camera_add_camsim)
  cmake_parse_arguments(C "" "HOST" "" ${ARGN})
  if(NOT C_HOST)
    set(C_HOST ${CAMERA_MEX_HOST})
  endif()
  set(_sources camsim.cpp camsimArgs.cpp camsimAndor.cpp camsimQcam.cpp)
  if(CAMERA_ON_WINDOWS)
    list(APPEND _sources camsimHostWindows.cpp)
  else()
    list(APPEND _sources camsimHost.cpp)
  endif()
  list(TRANSFORM _sources PREPEND ${CAMERA_CAMSIM_DIR}/)
  camera_add_mex(NAME camsim HOST ${C_HOST} SOURCES ${_sources}
    INCLUDES ${PROJECT_SOURCE_DIR}/platform/andor/include ${PROJECT_SOURCE_DIR}/platform/qcam/include
    LIBRARIES ATMCD32D QCamDriver
    DESTINATION ${CAMERA_SIMULATION_FOLDER}
    DESCRIPTION "camsim: simulated camera control of the Camera Bridge toolbox")
  if(CAMERA_ON_WINDOWS)
    target_compile_definitions(camsim PRIVATE CAMSIM_ANDOR_DRIVER="$<TARGET_FILE_NAME:ATMCD32D>"
                                              CAMSIM_QCAM_DRIVER="$<TARGET_FILE_NAME:QCamDriver>")
  endif()
  if(NOT C_HOST STREQUAL "octave" AND NOT CAMERA_ON_WINDOWS)
    # An ELF camsim finds the simulated drivers beside it, as a Windows one
    # does; and, as there, a driver of that name already loaded without the
    # simulator's controls fails its load, not its first call.
    set_target_properties(camsim PROPERTIES INSTALL_RPATH "$ORIGIN")
    target_link_options(camsim PRIVATE -Wl,-z,now)
  endif()
endfunction()

# camera_ship_simulated_driver(<target> "<file description>"): a simulated
# driver, shipped in the simulation folder as the vendor's DLL would be:
# runtimes linked in, a version resource, no import library.
function(camera_ship_simulated_driver target description)
  camera_link_runtime_statically(${target})
  camera_add_version_resource(${target} "${description}")
  if(NOT CAMERA_ON_WINDOWS)
    # The Win32 stand-in it needs lies in the toolbox's root, where the
    # Octave build installs it.
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN:$ORIGIN/..")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CAMERA_SIMULATION_FOLDER}
                            LIBRARY DESTINATION ${CAMERA_SIMULATION_FOLDER}
                            ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL COMPONENT development)
  _camera_ship(${target} ${CAMERA_SIMULATION_FOLDER})
endfunction()
