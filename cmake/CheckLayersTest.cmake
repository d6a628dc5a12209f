# CheckLayers.cmake over small made-up trees: a back-edge fails the check; a
# clean tree, and a header name that the core holds itself, pass.
#
#   cmake -DWORK=<scratch folder> -P CheckLayersTest.cmake
cmake_minimum_required(VERSION 3.25)
set(check ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake)

function(make_tree root)
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/app/state/Globals.h "#pragma once\n")
  file(WRITE ${root}/app/shell/Station.h "#pragma once\n")
  file(WRITE ${root}/app/shell/Globals.h "#pragma once\n")  # also the core's own name
  file(WRITE ${root}/app/ports/SerialLine.h "#pragma once\n")
  file(WRITE ${root}/app/memmap/Builder.cpp "#include \"Globals.h\"\n#include <vector>\n")
endfunction()

function(expect_check root want_ok what)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${check}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(want_ok AND NOT rc EQUAL 0)
    message(FATAL_ERROR "${what}: the check failed on a clean tree:\n${err}")
  elseif(NOT want_ok AND rc EQUAL 0)
    message(FATAL_ERROR "${what}: the check missed a back-edge:\n${out}")
  endif()
endfunction()

make_tree(${WORK}/clean)
expect_check(${WORK}/clean TRUE "clean tree")

make_tree(${WORK}/by-name)
file(APPEND ${WORK}/by-name/app/parser/Parser.cpp "#include \"Station.h\"\n")
expect_check(${WORK}/by-name FALSE "a parser file including the station")

make_tree(${WORK}/by-path)
file(WRITE ${WORK}/by-path/app/settings/Store.h "#include \"../ports/SerialLine.h\"\n")
expect_check(${WORK}/by-path FALSE "a settings header reaching the ports by path")

make_tree(${WORK}/mutual)
file(WRITE ${WORK}/mutual/app/editor/Model.h "#pragma once\n")
file(WRITE ${WORK}/mutual/app/shell/Station.cpp "#include \"Model.h\"\n")
file(WRITE ${WORK}/mutual/app/editor/Model.cpp "#include \"Station.h\"\n")
expect_check(${WORK}/mutual FALSE "the editor and the shell including each other")

make_tree(${WORK}/in-state)
file(APPEND ${WORK}/in-state/app/state/Globals.h "  #  include \"SerialLine.h\"\n")
expect_check(${WORK}/in-state FALSE "the state including a port header")
message(STATUS "the layer check catches every back-edge it was shown")
