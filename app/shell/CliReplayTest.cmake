# torvanetx-cli replay on a hand-written settings file, in both framings.
# Run with -DCLI=<torvanetx-cli> -DWORK=<scratch folder>.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(reg "${WORK}/HKEY_CURRENT_USER.reg")

file(WRITE "${reg}" [=[REGEDIT4

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\Main]
"DelayEverything"=dword:00000000
"PageDelay"="4"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings]
"MaxPages"="3"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings\2]
"PageSize"="1"
"P0"="SS/AA"
"L0"="3"
"P1"="PRO STOCK"
"L1"="255"

[HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\PageSettings\3]
"PageSize"="5"
]=])
file(SHA256 "${reg}" regBefore)

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: got '${actual}', expected '${expected}'")
  endif()
endfunction()

function(expect_in what haystack needle)
  string(FIND "${haystack}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: '${needle}' not found in\n${haystack}")
  endif()
endfunction()

# Tagged stream: a header, a pair, times, a win, the next pair.
file(WRITE "${WORK}/tagged.txt"
  "junk\nSS/AA E1\r\nb1A\rc1101\rn11 SMITH\rD51050\rb2B\rc2202\rD6999\rn22 JONES\r"
  "L00.512\rR00.498\rL610.62\rR610.81\rw-LEFT\rfl.0123\rc1103\r")
execute_process(COMMAND "${CLI}" replay --registry "${reg}" --framing tagged --chunk 5
                        --day-of-year 42 --json "${WORK}/tagged.json"
                        --dump "${WORK}/tagged.csv" "${WORK}/tagged.txt"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect("tagged replay exit status (${err})" "${status}" 0)
file(SHA256 "${reg}" regAfter)
expect("settings file unchanged" "${regAfter}" "${regBefore}")

file(READ "${WORK}/tagged.json" json)
expect_in("page 1" "${json}" [=[{"number":1,"address":392,"title":"SS/AA E1        ","lines":[{"text":"L[A:101]SMITH       ","link":0},{"text":"R[B:202]JONES       ","link":0}]=])
expect_in("margin line" "${json}" [=[{"text":"Margin  WIN  .0123  ","link":3}]=])
expect_in("ladder" "${json}" [=[{"number":3,"address":944,"title":"SS/AA E1        ","lines":[{"text":"W        SMITH10.62 ","link":1},{"text":"L________JONES10.81_","link":1},{"text":"                    ","link":255}]=])
expect_in("race" "${json}" [=["race":{"CurrentClass":"SS/AA           ","ActiveCategory":0,"RaceType":2,"RoundNumber":1,"HeadsUp":false,"BumpTime":"      ","HoldCountdown":4000,"QualifyingCount":-1,"LeftLane":{"Entry":"A","CarNumber":"103","Driver":"SMITH","Dial":"10.50 ","ReactionTime":"0.512 "]=])
expect_in("windows" "${json}" [=["windows":{"TitleWindow":[440,464],"LineWindows":[[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[752,776]],"NamesWindow":[464,512],"BodyWindow":[512,776],"PageWindow":[992,1160]}]=])
expect_in("no messages" "${json}" [=["messages":[]}]=])

file(STRINGS "${WORK}/tagged.csv" dump)
list(LENGTH dump dumpLines)
expect("dump lines" "${dumpLines}" 32738)
list(GET dump 280 dayLow)  # page 0 header row byte 8: day of year, low byte
expect("day of year in the image" "${dayLow}" 42)

# Command stream: a class list, a class with its round, a win; the settings
# afterwards go to a second file.
execute_process(COMMAND printf "~AS\\000SS/AA\\r~AS\\001PRO STOCK\\r~AS\\002COMP\\r~ASE\\r~GC SS/AA\\r~GE 2\\r~GRLJONES\\r~TR\\001.5\\r~TRW\\r"
                OUTPUT_FILE "${WORK}/command.bin")
set(out2 "${WORK}/after.reg")
execute_process(COMMAND "${CLI}" replay --registry "${reg}" --framing command
                        --delay-everything on --json "${WORK}/command.json"
                        --registry-out "${out2}" "${WORK}/command.bin"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect("command replay exit status (${err})" "${status}" 0)
file(SHA256 "${reg}" regAfter)
expect("settings file still unchanged" "${regAfter}" "${regBefore}")
file(READ "${WORK}/command.json" json)
expect_in("categories index" "${json}" [=[{"number":2,"address":800,"title":"CATEGORIES INDEX","lines":[{"text":"SS/AA               ","link":1},{"text":"PRO STOCK           ","link":1},{"text":"COMP                ","link":1}]}]=])
expect_in("right lane won" "${json}" [=["Driver":"JONES","Dial":"      ","ReactionTime":"0.500 "]=])
expect_in("right win" "${json}" [=["DialDifference":"      ","Win":true}}]=])
file(READ "${out2}" after)
expect_in("class listing stored" "${after}" [=["2"="COMP"]=])
expect_in("active category stored" "${after}" [=["ActiveCategory"="0"]=])

# Usage errors.
execute_process(COMMAND "${CLI}" replay --registry "${reg}" "${WORK}/tagged.txt"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
expect("missing framing" "${status}" 2)
execute_process(COMMAND "${CLI}" replay --registry "${reg}" --framing tagged --registry-out "${reg}"
                        "${WORK}/tagged.txt"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
expect("registry-out onto FILE" "${status}" 1)
file(SHA256 "${reg}" regAfter)
expect("settings file never modified" "${regAfter}" "${regBefore}")
