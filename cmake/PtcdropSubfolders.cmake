# SPDX-License-Identifier: MIT
# ptcdrop_add_subfolders(): adds every folder below the current one that has a
# CMakeLists.txt, in name order, so a new test or benchmark area needs no edit here.
function(ptcdrop_add_subfolders)
  file(GLOB areas LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT areas)
  foreach(area ${areas})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
      add_subdirectory(${area})
    endif()
  endforeach()
endfunction()
