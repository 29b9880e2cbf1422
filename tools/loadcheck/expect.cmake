# Runs PROGRAM on LIBRARY (through EMULATOR, a space-separated command, if given) and fails unless
# it exits with EXIT and its output (stdout and stderr together) matches the regular expression OUTPUT.
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${PROGRAM} ${LIBRARY} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${rc}, expected ${EXIT}")
endif()
if(NOT "${out}${err}" MATCHES "${OUTPUT}")
  message(FATAL_ERROR "output does not match: ${OUTPUT}")
endif()
