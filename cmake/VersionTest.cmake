# Fails unless PROGRAM --version prints exactly EXPECTED (one line) and exits 0:
# every program shows the one version of the top project().
#
#   cmake -DPROGRAM=<exe> -DEXPECTED=<text> [-DRUNNER=<emulator>] -P VersionTest.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${RUNNER} ${PROGRAM} --version
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 60)
string(REPLACE "\r" "" out "${out}")
string(STRIP "${out}" out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL EXPECTED)
  message(FATAL_ERROR "${PROGRAM} --version: exit ${rc}, printed '${out}' (${err}), "
                      "expected '${EXPECTED}'")
endif()
message(STATUS "${PROGRAM} --version: ${out}")
