# Windows binding of the camera drivers by ordinal.
#
# The .def files of this folder name each operation with its 32-bit stdcall
# decoration; i686 needs it to match the symbols, while x86-64 has no
# decoration, so camera_driver_def() writes the form the target needs into
# the build tree. Both the simulated drivers (to export at those ordinals)
# and the import libraries of our libraries (to import by them) use it.
include_guard(GLOBAL)

#
# camera_driver_def(<def name> <dll name> <out var>): the .def of this
# folder named <def name>, for a DLL whose file is <dll name>.dll (a site's
# driver may carry another file name than the vendor's usual one).
function(camera_driver_def name dll out_var)
  set(_source ${PROJECT_SOURCE_DIR}/drivers/${name}.def)
  set(_target ${PROJECT_BINARY_DIR}/drivers/${name}.def)
  file(READ ${_source} _text)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(REGEX REPLACE "@[0-9]+( +@)" "\\1" _text "${_text}")
  endif()
  string(REGEX REPLACE "LIBRARY [^\n]*" "LIBRARY ${dll}.dll" _text "${_text}")
  # Through a copy, so the file changes (and the driver relinks) only when
  # its text does.
  file(WRITE ${_target}.in "${_text}")
  configure_file(${_target}.in ${_target} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_source})
  set(${out_var} ${_target} PARENT_SCOPE)
endfunction()

# camera_driver_import_library(<interface target> <def name> <dll name>): the
# target links an import library made from the .def, so whatever links the
# target imports the driver <dll name>.dll by ordinal.
function(camera_driver_import_library target name dll)
  camera_driver_def(${name} ${dll} _def)
  if(MSVC)
    # Visual C++'s librarian makes the import library from the same .def,
    # whose LIBRARY line names the DLL.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(_machine x64)
    else()
      set(_machine x86)
    endif()
    set(_library ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/${name}_ordinals.lib)
    set(_command ${CMAKE_AR} /nologo /def:${_def} /machine:${_machine} /out:${_library})
  else()
    if(NOT CMAKE_DLLTOOL)
      string(REGEX REPLACE "g\\+\\+(-posix)?$" "dlltool" _guess ${CMAKE_CXX_COMPILER})
      find_program(CMAKE_DLLTOOL NAMES ${_guess} dlltool REQUIRED)
    endif()
    set(_library ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/lib${name}_ordinals.a)
    set(_command ${CMAKE_DLLTOOL} --input-def ${_def} --output-lib ${_library} --dllname ${dll}.dll)
  endif()
  add_custom_command(OUTPUT ${_library}
    COMMAND ${_command}
    DEPENDS ${_def}
    COMMENT "Import library of ${dll}.dll by ordinal"
    VERBATIM)
  add_custom_target(${target}_import_library DEPENDS ${_library})
  add_dependencies(${target} ${target}_import_library)
  target_link_libraries(${target} INTERFACE ${_library})
endfunction()
