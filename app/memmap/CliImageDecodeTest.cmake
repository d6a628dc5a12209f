# torvanetx-cli image, then decode --json, on a hand-written settings file.
# Run with -DCLI=<torvanetx-cli> -DWORK=<scratch folder>.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(reg "${WORK}/HKEY_CURRENT_USER.reg")
set(dump "${WORK}/MemoryDump.csv")

file(WRITE "${reg}" [=[REGEDIT4

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings]
"MaxPages"="3"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings\0]
"Title"="ABC"
"P0"="Categories"
"L0"="2"
"PageBackColor"="3"
"PageForeColor"="15"
"TickerBackColor"="blue"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings\1]
"PageSize"="5"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings\3]
"PageSize"="1"
"P1"="say \"hi\" \\ tab"
"L1"="300"
]=])
file(SHA256 "${reg}" regBefore)

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: got '${actual}', expected '${expected}'")
  endif()
endfunction()

execute_process(COMMAND "${CLI}" image --registry "${reg}" --day-of-year 158 --heads-up
                        --ticker abc --dump "${dump}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect("image exit status (${err})" "${status}" 0)
file(SHA256 "${reg}" regAfter)
expect("settings file unchanged" "${regAfter}" "${regBefore}")

file(READ "${dump}" hex HEX)
string(LENGTH "${hex}" withEndings)
string(REPLACE "0d0a" "" withoutEndings "${hex}")
string(LENGTH "${withoutEndings}" withoutLength)
math(EXPR lineCount "(${withEndings} - ${withoutLength}) / 4")
expect("CR LF line ends" "${lineCount}" 32738)
string(REGEX MATCHALL ".." pairs "${withoutEndings}")
list(FILTER pairs EXCLUDE REGEX "^3[0-9]$")
expect("bytes other than digits and CR LF" "${pairs}" "")
file(READ "${dump}" text)  # text mode: lines end in LF here
string(REGEX MATCH "^1\n16\n1\n136\n" head "${text}")
expect("index slots of pages 0 and 1" "${head}" "1\n16\n1\n136\n")

execute_process(COMMAND "${CLI}" decode --json "${dump}"
                RESULT_VARIABLE status OUTPUT_VARIABLE json ERROR_VARIABLE err)
expect("decode exit status (${err})" "${status}" 0)

string(JSON value GET "${json}" tickerRunning)
expect("tickerRunning" "${value}" ON)
string(JSON value GET "${json}" tickerAddress)
expect("tickerAddress" "${value}" 1064)  # 272 + 120 + 408 + 120 + 144
string(JSON value GET "${json}" ticker)
expect("ticker" "${value}" abc)
string(JSON value LENGTH "${json}" badChecksums)
expect("bad checksums" "${value}" 0)
string(JSON value LENGTH "${json}" pages)
expect("pages" "${value}" 4)
string(JSON value GET "${json}" pages 0 title)
expect("page 0 title" "${value}" "ABC             ")
string(JSON value GET "${json}" pages 0 pageColour)
expect("page 0 page colour" "${value}" 63)
string(JSON value GET "${json}" pages 0 titleColour)
expect("page 0 title colour (white on red by default)" "${value}" 67)
string(JSON value GET "${json}" pages 0 cursorColour)
expect("page 0 cursor colour (black on white by default)" "${value}" 48)
string(JSON value GET "${json}" pages 2 pageColour)
expect("page 2 colours (never loaded)" "${value}" 0)
string(JSON value GET "${json}" pages 0 flags)
expect("heads-up flags" "${value}" 112)
string(JSON value GET "${json}" pages 0 dayOfYear)
expect("day of year" "${value}" 158)
string(JSON value GET "${json}" pages 0 lines 0 text)
expect("page 0 line 0" "${value}" "Categories          ")
string(JSON value GET "${json}" pages 0 lines 0 link)
expect("page 0 link 0" "${value}" 2)
string(JSON value GET "${json}" pages 1 rows)
expect("page 1 rows (raised to 13 lines)" "${value}" 17)
string(JSON value GET "${json}" pages 3 lines 1 text)
expect("quotes and backslash" "${value}" "say \"hi\" \\ tab      ")
string(JSON value GET "${json}" pages 3 lines 1 link)
expect("link beyond a byte" "${value}" 255)

# The ticker colour: the invalid background became the default 13 (dark blue).
string(REGEX MATCHALL "[^\n]+" bytes "${text}")
list(GET bytes 263 tickerColour)
expect("ticker colour byte" "${tickerColour}" 211)

# One changed title byte of page 0 breaks that row's checksum, and only that one.
list(REMOVE_AT bytes 320)
list(INSERT bytes 320 66)
list(JOIN bytes "\n" corrupted)
file(WRITE "${WORK}/corrupted.csv" "${corrupted}\n")
execute_process(COMMAND "${CLI}" decode --json "${WORK}/corrupted.csv"
                RESULT_VARIABLE status OUTPUT_VARIABLE json)
expect("decode of a corrupted dump" "${status}" 1)
string(JSON value GET "${json}" badChecksums 0)
expect("failing checksum address" "${value}" 343)
string(JSON value LENGTH "${json}" badChecksums)
expect("failing checksums" "${value}" 1)

execute_process(COMMAND "${CLI}" decode "${dump}" RESULT_VARIABLE status OUTPUT_VARIABLE out)
expect("text decode exit status" "${status}" 0)
string(FIND "${out}" "checksums: all hold" found)
if(found EQUAL -1)
  message(FATAL_ERROR "text decode: ${out}")
endif()

execute_process(COMMAND "${CLI}" image --registry "${WORK}/missing.reg" --dump "${dump}"
                RESULT_VARIABLE status ERROR_QUIET)
expect("missing settings file" "${status}" 1)
execute_process(COMMAND "${CLI}" image --registry "${reg}" RESULT_VARIABLE status ERROR_QUIET)
expect("no --dump" "${status}" 2)
file(WRITE "${WORK}/broken.reg" "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\nnot a value line\n")
execute_process(COMMAND "${CLI}" image --registry "${WORK}/broken.reg" --dump "${dump}"
                RESULT_VARIABLE status ERROR_VARIABLE err)
expect("unreadable settings file (${err})" "${status}" 1)
