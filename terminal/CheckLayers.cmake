# Refuses an include that runs up the core's layers. A file may include headers of its own layer
# and of the layers beneath it, never Qt, and only by their full path ("terminal/<layer>/...").
#   cmake -DROOT=<source dir> -DSTAMP=<file to touch when clean> -P terminal/CheckLayers.cmake
# The build runs it before the core's libraries (see terminal/CMakeLists.txt), so an upward
# include fails the build, and with it `make test`.
cmake_minimum_required(VERSION 3.20)
set(layers screen graphics bidi engine selection)
set(below_screen screen)
set(below_graphics graphics screen)
set(below_bidi bidi screen)
set(below_engine engine graphics bidi screen)
set(below_selection selection engine graphics bidi screen)

set(faults "")
foreach(layer IN LISTS layers)
  file(GLOB files "${ROOT}/terminal/${layer}/*.cpp" "${ROOT}/terminal/${layer}/*.hpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${ROOT}" "${file}")
    foreach(line IN LISTS includes)
      if(line MATCHES "include[ \t]*\"terminal/([A-Za-z0-9_]+)/")
        if(NOT CMAKE_MATCH_1 IN_LIST below_${layer})
          string(APPEND faults "  ${shown} (${layer}) includes the ${CMAKE_MATCH_1} layer: ${line}\n")
        endif()
      elseif(line MATCHES "include[ \t]*\"")
        string(APPEND faults "  ${shown}: include a core header by its full path: ${line}\n")
      elseif(line MATCHES "include[ \t]*<Q")
        string(APPEND faults "  ${shown}: the terminal core never includes Qt: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes against the terminal core's layers "
                      "(screen < graphics, bidi < engine < selection):\n${faults}")
endif()
file(TOUCH "${STAMP}")
