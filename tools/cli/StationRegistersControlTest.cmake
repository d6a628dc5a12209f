# The station's start for a user with no registration of the TCP control
# registers the program's own module; later starts leave a registration to
# another module that exists alone (and say so), and replace one whose module
# is gone.
#
#   cmake -DCLI=<torvanetx-cli> -DMODULE=<libwirelet61.so beside it> -DWORK=<dir> -P ...
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/xdg ${WORK}/other)
file(REAL_PATH ${MODULE} own)
set(ENV{XDG_CONFIG_HOME} ${WORK}/xdg)
set(classes ${WORK}/xdg/TorvaneTX/HKEY_CLASSES_ROOT.reg)

function(start_station label)
  file(WRITE ${WORK}/quit "quit\n")
  execute_process(COMMAND ${CLI} station --commands --registry ${WORK}/my.reg
                  INPUT_FILE ${WORK}/quit OUTPUT_QUIET ERROR_VARIABLE log RESULT_VARIABLE rc
                  TIMEOUT 30)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${label}: station exit ${rc}: ${log}")
  endif()
  set(log "${log}" PARENT_SCOPE)
endfunction()

function(expect_registered label module)
  file(READ ${classes} hive)
  string(REGEX MATCH "\\[HKEY_CLASSES_ROOT\\\\CLSID\\\\[^]]*\\\\InprocServer32\\]\n@=\"([^\"]*)\"" found "${hive}")
  if(NOT CMAKE_MATCH_1 STREQUAL module)
    message(FATAL_ERROR "${label}: InprocServer32 is '${CMAKE_MATCH_1}', expected '${module}'")
  endif()
endfunction()

function(expect_log label text)
  string(FIND "${log}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${label}: the station did not say '${text}':\n${log}")
  endif()
endfunction()

start_station("first start")
expect_log("first start" "TCP control: none was registered; registered ${own} in ${classes}")
expect_registered("first start" ${own})

start_station("second start")
string(FIND "${log}" "TCP control" said)
if(NOT said EQUAL -1)
  message(FATAL_ERROR "second start: nothing to say about the control, but:\n${log}")
endif()

file(COPY ${own} DESTINATION ${WORK}/other)
execute_process(COMMAND ${CLI} register ${WORK}/other/libwirelet61.so RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "register of the other copy failed")
endif()
start_station("another module")
expect_log("another module" "TCP control: left as registered, to ${WORK}/other/libwirelet61.so")
expect_registered("another module" ${WORK}/other/libwirelet61.so)

file(REMOVE_RECURSE ${WORK}/other)
start_station("module gone")
expect_log("module gone"
           "TCP control: the registered ${WORK}/other/libwirelet61.so is missing; registered ${own}")
expect_registered("module gone" ${own})
