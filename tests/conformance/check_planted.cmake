# Checks that the replay REPLAY reports each difference planted in CASES (cases
# copied from the recorded set with one expected field altered), exactly as
# listed in EXPECTED, and fails.
execute_process(COMMAND ${REPLAY} --cases ${CASES}
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "${CASES}" "planted.jsonl" output "${output}")
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "replay exited with ${status}, expected 1\n${output}${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "replay reported:\n${output}\nexpected:\n${expected}")
endif()
