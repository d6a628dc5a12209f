# Fails when a folder includes a header of a folder above it in the order
# below: the core (settings, state, memmap, parser) never reaches into the
# ports, the shell, the windows or the tools, and no two folders include each
# other. Includes name headers without their folder, so a header is placed by
# where the tree holds it; a name that a folder at or below the includer also
# holds is that folder's.
#
#   cmake -DROOT=<source tree> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P CheckLayers.cmake")
endif()

set(layers convert platform platform/automation app/settings app/state app/memmap app/parser
           app/ports app/editor wirelet app/shell app/web app/gui tools/simulators tools/cli)

# The lowest layer that holds each header name.
set(index 0)
foreach(dir ${layers})
  file(GLOB headers ${ROOT}/${dir}/*.h)
  foreach(h ${headers})
    get_filename_component(name ${h} NAME)
    if(NOT DEFINED layer_of_${name})
      set(layer_of_${name} ${index})
    endif()
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

set(faults 0)
set(index 0)
foreach(dir ${layers})
  file(GLOB sources ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      get_filename_component(name ${header} NAME)
      if(DEFINED layer_of_${name} AND layer_of_${name} GREATER index)
        list(GET layers ${layer_of_${name}} above)
        file(RELATIVE_PATH where ${ROOT} ${source})
        message(SEND_ERROR "${where} includes \"${header}\" from ${above}, above ${dir}")
        math(EXPR faults "${faults} + 1")
      endif()
    endforeach()
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) reach above their layer")
endif()
message(STATUS "layers hold, from the bottom: ${layers}")
