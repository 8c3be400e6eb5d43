# Plays the traces a real Mac can follow against Quorvane.app, one after the other, with
# quorvane-mac-replay --check; keeps each observed log (TRACE.log) and what the tool said on
# standard error (TRACE.check) in OUT, and ends with a summary: whether each trace agreed with the
# simulator's prediction, its launch-to-switcher latency and the delays macOS added. Fails unless
# every trace agreed.
# The build runs it as the target mac-check; the list of traces lives here alone. A trace that
# runs past TIMEOUT counts as not played: the tool ends every run of its own well before (its
# longest wait is 25 s after a trace's last input, then seconds to clean up), so only a hang
# meets it.
# LIST=alerts plays the alert traces instead (the build's mac-check-alerts), on a Mac where the app
# is not yet allowed Accessibility. Their summary also counts the traces whose alert texts agree:
# the tool predicts for the version macOS reports to it, and the app names the settings pane by the
# version it is told, so with MACOS, the running major version, it says what the app was told.
# The summary is kept as OUT/summary.txt too.
# Arguments: -DTOOL=quorvane-mac-replay -DAPP=Quorvane.app -DTRACES=dir -DOUT=dir
#            [-DLIST=alerts [-DMACOS=major]] [-DPAUSE=seconds] [-DTIMEOUT=seconds]
cmake_minimum_required(VERSION 3.25)

set(alerts
  permission-alert-return
  permission-alert-esc
  permission-alert-reopen
  permission-alert-term
  permission-alert-quit)
set(traces
  commit
  right-click-cancels
  other-click-cancels
  scroll-cancels
  other-keys-cancel
  flags-kept-command-added
  marker-events-pass
  reopen-while-holding
  signal-while-holding)
if(LIST STREQUAL "alerts")
  set(traces ${alerts})
elseif(DEFINED LIST)
  message(FATAL_ERROR "LIST=${LIST}: only alerts is known")
endif()
if(NOT DEFINED PAUSE)
  set(PAUSE 1) # lets the system settle between two launches of the app
endif()
if(NOT DEFINED TIMEOUT)
  set(TIMEOUT 120)
endif()

file(MAKE_DIRECTORY ${OUT})
set(summary)
set(agreed 0)
set(textsAgree 0)
set(textsDiffer 0)
list(LENGTH traces count)
foreach(trace IN LISTS traces)
  message("-- ${trace}")
  execute_process(COMMAND ${TOOL} ${APP} ${TRACES}/${trace}.trace --check
    OUTPUT_FILE ${OUT}/${trace}.log ERROR_FILE ${OUT}/${trace}.check RESULT_VARIABLE status
    TIMEOUT ${TIMEOUT})
  foreach(kind log check)
    set(${kind} "")
    if(EXISTS ${OUT}/${trace}.${kind})
      file(READ ${OUT}/${trace}.${kind} ${kind})
    endif()
  endforeach()
  message("${log}${check}")

  if(status EQUAL 0)
    set(verdict "agrees")
    math(EXPR agreed "${agreed} + 1")
  elseif(status EQUAL 1)
    set(verdict "DISAGREES")
  elseif(NOT status MATCHES "^[0-9]+$")
    set(verdict "NOT PLAYED (timed out after ${TIMEOUT} s: ${status})")
  else()
    set(verdict "NOT PLAYED (status ${status})")
  endif()
  set(latency "none")
  if(check MATCHES "launch-to-switcher latency: ([^\n]*)")
    set(latency "${CMAKE_MATCH_1}")
  endif()
  if(check MATCHES "measured delays: ([^\n]*)")
    string(APPEND latency "; measured delays: ${CMAKE_MATCH_1}")
  endif()
  list(APPEND summary "  ${trace}: ${verdict}, launch-to-switcher latency ${latency}")
  # An alert trace's first predicted line is its alert: a disagreement later means it matched.
  if(check MATCHES "(^|\n)predicted:1 vs observed:1: the alert differs")
    math(EXPR textsDiffer "${textsDiffer} + 1")
  elseif(status EQUAL 0 OR check MATCHES "(^|\n)predicted:([2-9]|[1-9][0-9]+) vs ")
    math(EXPR textsAgree "${textsAgree} + 1")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep ${PAUSE})
endforeach()

list(JOIN summary "\n" summaryText)
string(APPEND summaryText "\n${agreed} of ${count} traces agree")
if(LIST STREQUAL "alerts")
  string(APPEND summaryText "\nalert texts: ${textsAgree} agree, ${textsDiffer} differ")
  # From 27 the pane is 「デバイスの制御とデータへのアクセス」; a reported 16 to 25 reads as 26 to 35.
  if(DEFINED MACOS)
    if(textsDiffer GREATER 0 AND MACOS GREATER_EQUAL 27)
      set(told "a version before 27, such as 16: its alerts name the pane アクセシビリティ")
    elseif(textsDiffer GREATER 0)
      set(told "not ${MACOS}: its alerts show another version's texts")
    elseif(textsAgree GREATER 0 AND MACOS GREATER_EQUAL 27)
      set(told "${MACOS}, the true version (or 17, which reads the same)")
    elseif(textsAgree GREATER 0)
      set(told "${MACOS}, the true version, or 16, whose texts read the same")
    else()
      set(told "unknown: no trace has a verdict on the alert's texts")
    endif()
    string(APPEND summaryText "\nso macOS ${MACOS} reported to the app: ${told}")
  endif()
endif()
file(WRITE ${OUT}/summary.txt "${summaryText}\n")
message("Summary (observed logs in ${OUT}):\n${summaryText}")
if(NOT agreed EQUAL count)
  message(FATAL_ERROR "not every trace agrees with the simulator")
endif()
