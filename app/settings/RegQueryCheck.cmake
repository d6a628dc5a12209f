# Runs the store writer, then asks Wine's reg.exe what the registry holds, prints
# its answer and checks the values the writer stored: names, types and data.
execute_process(COMMAND ${RUN} ${WRITER} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the store writer failed (${rc})")
endif()
execute_process(COMMAND ${RUN} reg query "HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX" /s
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r" "" out "${out}")
message(STATUS "reg query HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX /s:\n${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "reg query failed (${rc})")
endif()
set(expected
  "\nHKEY_CURRENT_USER\\\\SOFTWARE\\\\TorvaneTX\n +PageFiles +REG_SZ +C:\\\\Race Day\\\\Pages\n"
  "\nHKEY_CURRENT_USER\\\\SOFTWARE\\\\TorvaneTX\\\\Main\n"
  " +DelayEverything +REG_DWORD +0x0\n"
  " +VenueID +REG_SZ +3\n"
  " +MaxPages +REG_SZ +4\n"
  "\\\\PageSettings\\\\1\n +Title +REG_SZ +Top Eliminator  \n"
  "\\\\PageSettings\\\\2\\\\Super Pro\n +RoundNumber +REG_SZ +2\n"
  # The empty "2" ends the list. Wine's reg.exe shows an empty text with whatever
  # bytes its buffer last held, so only its name and type are checked.
  "\\\\PageSettings\\\\Ticker\n +0 +REG_SZ +Gates open 9:00\n +1 +REG_SZ +Final round 17:30\n +2 +REG_SZ")
foreach(pattern IN LISTS expected)
  if(NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "reg query does not show '${pattern}'")
  endif()
endforeach()
