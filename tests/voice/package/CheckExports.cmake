# Fails unless the shared library exports exactly the six HI_VOICE_* entry points.
# cmake -DNM=<nm> -DLIBRARY=<libhivoice.so> -P CheckExports.cmake
set(expected
  HI_VOICE_DecReset HI_VOICE_DecodeFrame HI_VOICE_EncReset HI_VOICE_EncodeFrame
  HI_VOICE_TransCodeFrame HI_VOICE_TransCodeReset)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()

set(exported)
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)

if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported symbols differ\n  expected: ${expected}\n  exported: ${exported}")
endif()
message(STATUS "exports: ${exported}")
