# Runs the Mac check of the curated traces (tools/mac-replay/check-traces.cmake) with a stand-in
# for quorvane-mac-replay: every listed trace exists, the logs are kept, the summary names each
# verdict, latency and measured delays, a hang is cut short, and a disagreement fails the check.
# Arguments: -DSOURCE_DIR=repository -DWORK_DIR=scratch directory
set(app ${WORK_DIR}/Quorvane.app)
set(out ${WORK_DIR}/observed)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${app})
execute_process(
  COMMAND ${CMAKE_COMMAND} -DTOOL=${SOURCE_DIR}/tests/mac-check/fake-mac-replay -DAPP=${app}
          -DTRACES=${SOURCE_DIR}/tests/traces -DOUT=${out} -DPAUSE=0 -DTIMEOUT=1
          -P ${SOURCE_DIR}/tools/mac-replay/check-traces.cmake
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE said)

set(expected
  "  commit: agrees, launch-to-switcher latency 0.401 s\n"
  "  scroll-cancels: DISAGREES, launch-to-switcher latency 0.512 s; measured delays: exit after the predicted time by 0.012 s\n"
  "  marker-events-pass: NOT PLAYED (timed out after 1 s: Process terminated due to timeout), launch-to-switcher latency none\n"
  "  reopen-while-holding: NOT PLAYED (status 2), launch-to-switcher latency none (the app never pressed Command)\n"
  "\n6 of 9 traces agree\n"
  "not every trace agrees with the simulator")
foreach(text IN LISTS expected)
  string(FIND "${said}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the summary lacks '${text}':\n${said}")
  endif()
endforeach()
if(status EQUAL 0)
  message(FATAL_ERROR "a disagreement did not fail the check")
endif()
file(READ ${WORK_DIR}/observed/commit.log log)
if(NOT log MATCHES "^0.350 flagsChanged key=55")
  message(FATAL_ERROR "the observed log was not kept: '${log}'")
endif()

# The alert traces: each is played, and the summary says from the alerts' texts what version macOS
# told the app (a disagreement after the texts leaves them agreeing); an unknown list is refused.
foreach(case IN ITEMS "26;3;5 agree, 0 differ\nso macOS 26 reported to the app: 26, the true"
                      "27;1;4 agree, 1 differ\nso macOS 27 reported to the app: a version before 27")
  list(GET case 0 macos)
  list(GET case 1 differsAt)
  list(GET case 2 expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env FAKE_DIFFERS_AT=${differsAt}
            ${CMAKE_COMMAND} -DTOOL=${SOURCE_DIR}/tests/mac-check/fake-mac-replay -DAPP=${app}
            -DTRACES=${SOURCE_DIR}/tests/traces -DOUT=${out}-alerts -DPAUSE=0 -DLIST=alerts
            -DMACOS=${macos} -P ${SOURCE_DIR}/tools/mac-replay/check-traces.cmake
    RESULT_VARIABLE status ERROR_VARIABLE said)
  file(READ ${out}-alerts/summary.txt kept)
  if(status EQUAL 0 OR NOT said MATCHES "permission-alert-quit: agrees[^\n]*\n4 of 5 traces agree\n"
     OR NOT kept MATCHES "alert texts: ${expected}")
    message(FATAL_ERROR "the alert traces on macOS ${macos}: status ${status}\n${said}")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} -DTOOL=${SOURCE_DIR}/tests/mac-check/fake-mac-replay -DAPP=${app}
          -DTRACES=${SOURCE_DIR}/tests/traces -DOUT=${out}-alerts -DLIST=alert
          -P ${SOURCE_DIR}/tools/mac-replay/check-traces.cmake
  RESULT_VARIABLE status ERROR_VARIABLE said)
if(status EQUAL 0 OR NOT said MATCHES "LIST=alert: only alerts is known")
  message(FATAL_ERROR "an unknown list was played: ${said}")
endif()
