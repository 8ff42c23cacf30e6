# Checks the project's Markdown pages:
#  - every relative link names a file or folder that exists, and a link to a
#    heading of a page (page.md#heading) names one the page has;
#  - a fenced "```matlab" block runs in a test, so it may stand only where a
#    test runs the page's examples; elsewhere an example that cannot run here
#    (a real camera, MATLAB's own toolboxes) is fenced "```matlab no-run".
#   cmake -DSOURCE_DIR=<repository> -P check_docs.cmake
cmake_minimum_required(VERSION 3.25)

# The pages whose "```matlab" blocks a test runs, and in which section.
set(_run_everywhere README.md octave/README.md)
set(_run_in_section "mex/toolbox/README.md=## Trying the toolbox without a camera")

file(GLOB_RECURSE _pages RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.md)
list(FILTER _pages EXCLUDE REGEX "^(build|\\.git)/")
list(FILTER _pages EXCLUDE REGEX "/build/")

# A heading's anchor as the Markdown renderers make it: lower case, spaces to
# hyphens, punctuation other than hyphens and underscores dropped.
function(_anchor_of heading out)
  string(TOLOWER "${heading}" _text)
  string(REGEX REPLACE "[`*]" "" _text "${_text}")
  string(REGEX REPLACE "[^a-z0-9 _-]" "" _text "${_text}")
  string(REPLACE " " "-" _text "${_text}")
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()

function(_anchors_of page out)
  file(STRINGS ${page} _lines REGEX "^#+ ")
  set(_anchors "")
  foreach(_line IN LISTS _lines)
    string(REGEX REPLACE "^#+ +" "" _heading "${_line}")
    _anchor_of("${_heading}" _anchor)
    list(APPEND _anchors "${_anchor}")
  endforeach()
  set(${out} "${_anchors}" PARENT_SCOPE)
endfunction()

set(_faults "")
set(_links 0)
foreach(_page IN LISTS _pages)
  get_filename_component(_folder ${SOURCE_DIR}/${_page} DIRECTORY)
  file(READ ${SOURCE_DIR}/${_page} _text)
  # Code spans and fenced blocks hold no links.
  string(REGEX REPLACE "```[^`]*```" "" _prose "${_text}")
  string(REGEX REPLACE "`[^`\n]*`" "" _prose "${_prose}")
  # Square brackets would keep a CMake list from splitting: a link's "](" is
  # matched as "}(" instead.
  string(REPLACE "[" "{" _prose "${_prose}")
  string(REPLACE "]" "}" _prose "${_prose}")
  string(REGEX MATCHALL "}\\([^) ]+\\)" _targets "${_prose}")
  foreach(_match IN LISTS _targets)
    string(REGEX REPLACE "^}\\((.*)\\)$" "\\1" _target "${_match}")
    if(_target MATCHES "^[a-z]+:")
      continue() # another site, or mail
    endif()
    math(EXPR _links "${_links} + 1")
    set(_file "${_target}")
    set(_heading "")
    if(_target MATCHES "^([^#]*)#(.*)$")
      set(_file "${CMAKE_MATCH_1}")
      set(_heading "${CMAKE_MATCH_2}")
    endif()
    if(_file STREQUAL "")
      set(_path ${SOURCE_DIR}/${_page})
    else()
      set(_path ${_folder}/${_file})
    endif()
    if(NOT EXISTS ${_path})
      list(APPEND _faults "${_page}: the link ${_target} leads to no file")
    elseif(NOT _heading STREQUAL "")
      _anchors_of(${_path} _anchors)
      if(NOT _heading IN_LIST _anchors)
        list(APPEND _faults "${_page}: the link ${_target} names no heading of ${_file}")
      endif()
    endif()
  endforeach()

  # Runnable MATLAB blocks, by the line they open on.
  if(_page IN_LIST _run_everywhere)
    continue()
  endif()
  set(_section "")
  foreach(_entry IN LISTS _run_in_section)
    if(_entry MATCHES "^${_page}=(.*)$")
      set(_section "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  file(STRINGS ${SOURCE_DIR}/${_page} _lines)
  set(_in_section FALSE)
  set(_number 0)
  foreach(_line IN LISTS _lines)
    math(EXPR _number "${_number} + 1")
    if(_line MATCHES "^## ")
      if(_line STREQUAL _section)
        set(_in_section TRUE)
      else()
        set(_in_section FALSE)
      endif()
    endif()
    if(_line MATCHES "^ *```matlab *$" AND NOT _in_section)
      list(APPEND _faults
           "${_page}:${_number}: a \"```matlab\" block that no test runs: fence it \"```matlab no-run\", or move it")
    endif()
  endforeach()
endforeach()

list(LENGTH _pages _page_count)
if(_faults)
  list(JOIN _faults "\n  " _listing)
  message(FATAL_ERROR "the pages have faults:\n  ${_listing}")
endif()
message(STATUS "${_page_count} pages: ${_links} relative links resolve; every runnable MATLAB block is run by a test")
