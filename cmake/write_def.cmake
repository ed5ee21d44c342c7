# Writes DEF, a module-definition file for DLL listing every function that
# the import library IMPORTS provides (its __imp_ symbols, with the 32-bit
# stdcall suffix @n kept for the linker; dlltool's --kill-at drops it from
# the names looked up at run time). PREFIX is the C names' leading underscore.
execute_process(COMMAND ${NM} ${IMPORTS} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORTS} failed")
endif()
string(REGEX MATCHALL "[^\n]* I __imp_${PREFIX}[^\n]*" lines "${symbols}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE ".* I __imp_${PREFIX}" "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(JOIN names "\n" body)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${body}\n")
