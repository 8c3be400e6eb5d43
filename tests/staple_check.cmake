# packaging/macos/staple with stand-ins for xcrun and sleep on PATH: the stand-ins log each call,
# so a case says how many staples were tried, how long the script waited between them and whether
# it validated, without waiting. Run by /bin/bash, which on a Mac is the bash 3.2 every Mac has.
# Arguments: -DSCRIPT=packaging/macos/staple -DWORK_DIR=scratch folder
cmake_minimum_required(VERSION 3.25)
set(bin ${WORK_DIR}/bin)
set(log ${WORK_DIR}/calls.txt)
set(dmg ${WORK_DIR}/Quorvane-1.0.0.dmg)
file(REMOVE_RECURSE ${WORK_DIR})
file(WRITE ${dmg} "")
# xcrun stapler staple|validate DMG: a staple fails with $FAILS_WITH until try $STAPLED_AT ("never":
# every try), a validate exits $VALIDATES.
file(WRITE ${bin}/xcrun [[#!/bin/sh
if [ "$1 $3" != "stapler $DMG" ] || [ $# -ne 3 ]; then echo "xcrun $*" >>"$LOG"; exit 64; fi
echo "$2" >>"$LOG"
if [ "$2" = validate ]; then exit "$VALIDATES"; fi
tries=$(grep -c '^staple$' "$LOG")
if [ "$STAPLED_AT" != never ] && [ "$tries" -ge "$STAPLED_AT" ]; then exit 0; fi
echo "The staple and validate action failed! Error $FAILS_WITH." >&2
exit "$FAILS_WITH"
]])
file(WRITE ${bin}/sleep [[#!/bin/sh
echo "sleep $*" >>"$LOG"
]])
file(CHMOD ${bin}/xcrun ${bin}/sleep PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# run(WAIT ARGS...): runs the script (WAIT "default": QUORVANE_STAPLE_WAIT unset); sets status,
# err and calls (the logged calls, comma-separated) in the caller's scope.
function(run wait)
  set(env PATH=${bin}:$ENV{PATH} LOG=${log} DMG=${dmg} STAPLED_AT=${stapledAt}
      FAILS_WITH=${failsWith} VALIDATES=${validates})
  if(NOT wait STREQUAL "default")
    list(APPEND env QUORVANE_STAPLE_WAIT=${wait})
  endif()
  file(WRITE ${log} "")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUORVANE_STAPLE_WAIT ${env}
                          /bin/bash ${SCRIPT} ${ARGN}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
  file(STRINGS ${log} calls)
  list(JOIN calls "," calls)
  set(status ${status} PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
  set(calls "${calls}" PARENT_SCOPE)
endfunction()

# QUORVANE_STAPLE_WAIT|the try a staple first passes|its status until then|validate's status|
# status|calls
set(cases
  "5|3|65|0|0|staple,sleep 5,staple,sleep 10,staple,validate"
  "0|2|1|0|0|staple,sleep 0,staple,validate"
  "default|never|65|0|1|staple,sleep 30,staple,sleep 60,staple,sleep 120,staple,sleep 240,staple,\
sleep 480,staple"
  "5|1|65|65|1|staple,validate")
set(failed)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 wait)
  list(GET fields 1 stapledAt)
  list(GET fields 2 failsWith)
  list(GET fields 3 validates)
  list(GET fields 4 expectedStatus)
  list(GET fields 5 expectedCalls)
  run(${wait} ${dmg})
  if(NOT status EQUAL expectedStatus OR NOT calls STREQUAL expectedCalls)
    list(APPEND failed "${case}: status ${status}, calls '${calls}'\n${err}")
  endif()
endforeach()

# Bad arguments: status 2 and a message, before any call.
set(stapledAt 1)
set(validates 0)
foreach(bad "default|usage: staple DMG" "default|usage: |${dmg}|more"
            "default|staple: no file ${WORK_DIR}/none|${WORK_DIR}/none"
            "x|must be a whole number of seconds, not 'x'|${dmg}"
            "-1|must be a whole number of seconds, not '-1'|${dmg}")
  string(REPLACE "|" ";" args "${bad}")
  list(POP_FRONT args wait error)
  run(${wait} ${args})
  string(FIND "${err}" "${error}" at)
  if(NOT status EQUAL 2 OR at LESS 0 OR NOT calls STREQUAL "")
    list(APPEND failed "${bad}: status ${status}, calls '${calls}'\n${err}")
  endif()
endforeach()

if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "staple misbehaves:\n  ${failed}")
endif()
