# Compares the defined dynamic symbols of a shared library with a list.
#   cmake -DNM=<nm> -DLIBRARY=<lib.so> -DEXPECTED=<list file> -P check_exported_symbols.cmake
foreach(var NM LIBRARY EXPECTED)
  if(NOT ${var})
    message(FATAL_ERROR "check_exported_symbols: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(actual)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
    set(name "${CMAKE_MATCH_1}")
    # Linker bookkeeping and sanitizer instrumentation are not part of the interface.
    if(name MATCHES "^(_init|_fini|_edata|_end|__bss_start|__bss_start__|__bss_end__|__end__|_bss_end__)$"
       OR name MATCHES "^__(asan|ubsan|lsan|odr_asan|sanitizer)")
      continue()
    endif()
    list(APPEND actual "${name}")
  endif()
endforeach()
list(REMOVE_DUPLICATES actual)

file(STRINGS ${EXPECTED} expected REGEX "^[^#]")
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(unexpected ${actual})
list(REMOVE_ITEM unexpected ${expected})

if(missing OR unexpected)
  string(REPLACE ";" "\n  " missing "${missing}")
  string(REPLACE ";" "\n  " unexpected "${unexpected}")
  message(FATAL_ERROR "${LIBRARY}: exported symbols differ\nmissing:\n  ${missing}\nunexpected:\n  ${unexpected}")
endif()
list(LENGTH actual exported)
message(STATUS "${LIBRARY}: ${exported} exported symbols, as expected")
