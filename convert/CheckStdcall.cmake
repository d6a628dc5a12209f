# Checks in the 32-bit DLL's code that each of the six routines returns with
# "ret $N", N the bytes of its arguments: the callee removes them, as __stdcall
# callers expect. A routine built for the C convention ends in a plain "ret".
execute_process(COMMAND ${OBJDUMP} -d ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIB}")
endif()
set(routines MakeFloat@4 LongToBuffer@8 BufferToLong@4 BufferToInt16@4 Int16ToBuffer@8)
foreach(routine IN LISTS routines)
  string(FIND "${out}" "<_${routine}>:" start)
  if(start LESS 0)
    message(FATAL_ERROR "no routine _${routine} in ${LIB}")
  endif()
  string(SUBSTRING "${out}" ${start} -1 body)
  # The routine's code up to the next symbol.
  string(REGEX REPLACE "\n\n.*" "" body "${body}")
  string(REGEX REPLACE ".*@" "" bytes "${routine}")
  if(NOT body MATCHES "ret[ \t]+\\$0x${bytes}[ \t]*(\n|$)")
    message(FATAL_ERROR "_${routine} does not remove its ${bytes} argument bytes:\n${body}")
  endif()
  message(STATUS "_${routine}: ret $0x${bytes}")
endforeach()
