# Fails when an executable loads a DLL at start that is not in the allowed list
# (case-insensitive names without ".dll"). Usage:
# cmake -DOBJDUMP=objdump -DFILE=prog.exe -DALLOWED="KERNEL32;USER32" -P check-imports.cmake
cmake_policy(SET CMP0057 NEW)
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${FILE}")
endif()
string(TOUPPER "${ALLOWED}" _allowed)
string(REGEX MATCHALL "DLL Name: [^\n]+" _entries "${_dump}")
set(_bad "")
foreach(_entry ${_entries})
  string(REGEX REPLACE "DLL Name: (.+)\\.[dD][lL][lL]$" "\\1" _dll "${_entry}")
  string(TOUPPER "${_dll}" _upper)
  if(NOT _upper IN_LIST _allowed)
    list(APPEND _bad ${_dll})
  endif()
endforeach()
if(_bad)
  message(FATAL_ERROR "${FILE} loads at start: ${_bad}; only ${ALLOWED} may load with it. "
                      "Add the library to UNINST_DELAY_LOADED in src/CMakeLists.txt.")
endif()
