# Checks that the shared library LIBRARY exports the interface functions of
# both headers and nothing else.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
    message(FATAL_ERROR "unexpected nm line: ${line}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL "T")
    message(FATAL_ERROR "exported symbol is not a function: ${line}")
  endif()
  list(APPEND exported ${CMAKE_MATCH_2})
endforeach()
list(SORT exported)
set(expected
  velmor_ip_vfft_v8_0_bitacc_simulate
  velmor_ip_vfft_v8_0_create_state
  velmor_ip_vfft_v8_0_create_state_with_sink
  velmor_ip_vfft_v8_0_datapath
  velmor_ip_vfft_v8_0_describe
  velmor_ip_vfft_v8_0_destroy_state
  velmor_ip_vfft_v8_0_get_default_generics
  velmor_ip_vfft_v8_0_set_sink
  velmor_ip_vfft_v8_0_simulate_batch
  velmor_ip_vfft_v8_0_version)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
