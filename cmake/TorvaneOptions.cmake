# Compile options shared by every target of the project.
add_library(torvane_options INTERFACE)
target_compile_options(torvane_options INTERFACE -Wall -Wextra -Wpedantic)
if(TORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(torvane_options INTERFACE -Werror)
endif()
if(TORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TORVANE_FUZZERS)
  # Coverage for libFuzzer in every library, not only in the fuzzer's own source.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# torvane_add_test(NAME SOURCES... LIBS ...): one GoogleTest executable registered with CTest.
function(torvane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} torvane_options GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # One Wine start per program rather than per case; the log keeps each
    # program's own count of the cases it ran.
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# torvane_add_fuzzer(NAME SOURCES... LIBS ...): a libFuzzer target, built only with clang.
function(torvane_add_fuzzer name)
  if(NOT TORVANE_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} torvane_options)
endfunction()

# torvane_add_fuzz_target(NAME SOURCES... LIBS ... CORPUS DIR): a libFuzzer target
# with a short run over its seed corpus as a test, or, without libFuzzer, the
# same target run over the corpus and deterministic mutations of it, so every
# ordinary test run still exercises it.
function(torvane_add_fuzz_target name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(TORVANE_FUZZERS)
    torvane_add_fuzzer(${name} SOURCES ${ARG_SOURCES} LIBS ${ARG_LIBS})
    file(GLOB seeds ${ARG_CORPUS}/*)
    string(REPLACE ";" "," seeds "${seeds}")
    add_test(NAME ${name}_smoke
             COMMAND ${name} -runs=5000 -max_len=4096 -seed_inputs=${seeds}
                     -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/)
  else()
    add_executable(${name}_smoke ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/FuzzSmokeMain.cpp)
    target_link_libraries(${name}_smoke PRIVATE ${ARG_LIBS} torvane_options)
    add_test(NAME ${name}_smoke COMMAND ${name}_smoke ${ARG_CORPUS} --mutations=1000)
  endif()
endfunction()

