# Registers (MODE=register) or unregisters (MODE=unregister) wirelet61.dll with
# Wine's own regsvr32, then asks Wine's reg.exe what the classes hive holds,
# prints its answer and checks the keys and values.
#   -DRUN=wine-run -DMODULE=/path/wirelet61.dll -DMODE=register|unregister
string(REPLACE "/" "\\" module "Z:${MODULE}")
set(clsid "{1D82D4CC-5106-402A-9CD1-A22CDE85166C}")
set(libid "{2A5682DA-0822-48DD-B68D-F65AFDCD770D}")

function(reg_query key out_var rc_var)
  execute_process(COMMAND ${RUN} reg query "${key}" /s
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\r" "" out "${out}")
  message(STATUS "reg query ${key} /s:\n${out}${err}")
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${rc_var} ${rc} PARENT_SCOPE)
endfunction()

function(expect text)
  foreach(pattern IN LISTS ARGN)
    if(NOT text MATCHES "${pattern}")
      message(FATAL_ERROR "reg query does not show '${pattern}'")
    endif()
  endforeach()
endfunction()

if(MODE STREQUAL "register")
  execute_process(COMMAND ${RUN} regsvr32 /s "${module}" RESULT_VARIABLE rc)
  message(STATUS "regsvr32 /s ${module}: exit code ${rc}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "regsvr32 failed (${rc})")
  endif()
  foreach(progid Wirekit.Wirelet Wirekit.Wirelet.1 Wirekit6.Wirelet)
    reg_query("HKEY_CLASSES_ROOT\\${progid}" out rc)
    expect("${out}"
      "\\(Default\\) +REG_SZ +Wirelet Control\n"
      "\\\\CLSID\n +\\(Default\\) +REG_SZ +\\${clsid}\n"
      "\\\\CurVer\n +\\(Default\\) +REG_SZ +Wirekit.Wirelet.1\n")
  endforeach()
  string(REPLACE "\\" "\\\\" module_pattern "${module}")
  string(REPLACE "." "\\." module_pattern "${module_pattern}")
  reg_query("HKEY_CLASSES_ROOT\\CLSID\\${clsid}" out rc)
  expect("${out}"
    "\\(Default\\) +REG_SZ +Wirelet Control\n"
    "\\\\ProgID\n +\\(Default\\) +REG_SZ +Wirekit.Wirelet.1\n"
    "\\\\VersionIndependentProgID\n +\\(Default\\) +REG_SZ +Wirekit.Wirelet\n"
    "\\\\Programmable\n"
    "\\\\InprocServer32\n +\\(Default\\) +REG_SZ +${module_pattern}\n +ThreadingModel +REG_SZ +Apartment\n"
    "\\\\Control\n"
    "\\\\Insertable\n"
    "\\\\ToolboxBitmap32\n +\\(Default\\) +REG_SZ +${module_pattern}, 101\n"
    "\\\\MiscStatus\n +\\(Default\\) +REG_SZ +0\n"
    "\\\\MiscStatus\\\\1\n +\\(Default\\) +REG_SZ +132497\n"
    "\\\\TypeLib\n +\\(Default\\) +REG_SZ +\\${libid}\n"
    "\\\\Version\n +\\(Default\\) +REG_SZ +1.0\n"
    "\\\\Windows CE Control\n")
  # What the system's type library registration added from the "TYPELIB" resource.
  reg_query("HKEY_CLASSES_ROOT\\TypeLib\\${libid}" out rc)
  expect("${out}" "\\\\1.0\n +\\(Default\\) +REG_SZ +Wirelet 6.1 Type Library\n"
                  "\\\\1.0\\\\409\\\\win64\n +\\(Default\\) +REG_SZ +${module_pattern}\n")
  reg_query("HKEY_CLASSES_ROOT\\Interface\\{63797D8E-1B82-41AD-BDCE-3DCBFEEEBA42}" out rc)
  expect("${out}" "\\(Default\\) +REG_SZ +IWirelet\n")
elseif(MODE STREQUAL "unregister")
  execute_process(COMMAND ${RUN} regsvr32 /u /s "${module}" RESULT_VARIABLE rc)
  message(STATUS "regsvr32 /u /s ${module}: exit code ${rc}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "regsvr32 /u failed (${rc})")
  endif()
  foreach(key Wirekit.Wirelet Wirekit.Wirelet.1 Wirekit6.Wirelet CLSID\\${clsid} TypeLib\\${libid})
    execute_process(COMMAND ${RUN} reg query "HKEY_CLASSES_ROOT\\${key}"
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    message(STATUS "reg query HKEY_CLASSES_ROOT\\${key}: exit code ${rc}")
    if(rc EQUAL 0)
      message(FATAL_ERROR "HKEY_CLASSES_ROOT\\${key} is still there after unregistering")
    endif()
  endforeach()
  execute_process(COMMAND ${RUN} reg query "HKEY_CLASSES_ROOT\\CLSID" RESULT_VARIABLE rc
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "unregistering removed HKEY_CLASSES_ROOT\\CLSID itself")
  endif()
else()
  message(FATAL_ERROR "MODE must be register or unregister")
endif()
