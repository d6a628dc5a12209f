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
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
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
