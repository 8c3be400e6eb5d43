# quorvane-replay as a user runs it: a malformed trace, a missing file or an unknown option gets
# status 2 and a message naming what is wrong, and no partial log.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/malformed.trace "0.5 mouseMoved\n\n0.4 leftMouseDown\n")
execute_process(COMMAND ${REPLAY} ${CMAKE_CURRENT_BINARY_DIR}/malformed.trace
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR
   NOT err STREQUAL "quorvane-replay: 3: time goes backwards: 0.4\n")
  message(FATAL_ERROR "status ${status}, stdout '${out}', stderr '${err}'")
endif()
execute_process(COMMAND ${REPLAY} ${CMAKE_CURRENT_BINARY_DIR}/no-such.trace
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT err MATCHES "no-such.trace: cannot open")
  message(FATAL_ERROR "missing file: status ${status}, stderr '${err}'")
endif()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/bad-signal.trace "0.5 mouseMoved\n1 signal KILL\n")
execute_process(COMMAND ${REPLAY} ${CMAKE_CURRENT_BINARY_DIR}/bad-signal.trace
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR
   NOT err STREQUAL "quorvane-replay: 2: unknown signal 'KILL': TERM, INT or HUP\n")
  message(FATAL_ERROR "bad signal: status ${status}, stdout '${out}', stderr '${err}'")
endif()
execute_process(COMMAND ${REPLAY} --note ${CMAKE_CURRENT_BINARY_DIR}/bad-signal.trace
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "^quorvane-replay: unknown option '--note'\nusage:")
  message(FATAL_ERROR "unknown option: status ${status}, stdout '${out}', stderr '${err}'")
endif()
