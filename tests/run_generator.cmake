# Runs paltab to make a table file at build time. paltab ends with status 1
# on every run, so success is judged as scripts do: the file exists and
# nothing was reported.
#   cmake -DPALTAB=... -DPALETTE=... -DOUTPUT=... -P run_generator.cmake
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${PALTAB} -n ${PALETTE} ${OUTPUT} ERROR_VARIABLE messages)
if(NOT EXISTS ${OUTPUT} OR NOT messages STREQUAL "")
  message(FATAL_ERROR "paltab did not write ${OUTPUT}: ${messages}")
endif()
