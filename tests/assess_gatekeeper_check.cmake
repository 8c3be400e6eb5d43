# packaging/macos/assess-gatekeeper with stand-ins for spctl, codesign, hdiutil and sleep on PATH,
# which log each call: a case gives spctl's verdict, codesign's notarization check and how often
# hdiutil attach is busy, and states the exit status, the calls and what the script says.
# Run by /bin/bash, which on a Mac is the bash 3.2 every Mac has.
# Arguments: -DSCRIPT=packaging/macos/assess-gatekeeper -DWORK_DIR=scratch folder
cmake_minimum_required(VERSION 3.25)
set(bin ${WORK_DIR}/bin)
set(log ${WORK_DIR}/calls.txt)
set(summary ${WORK_DIR}/summary.md)
set(dmg ${WORK_DIR}/Quorvane-1.0.0.dmg)
file(REMOVE_RECURSE ${WORK_DIR})
file(WRITE ${dmg} "")
# spctl --assess --type TYPE ... PATH prints "PATH: " and $SPCTL, its lines separated by "/", and
# exits $SPCTL_STATUS.
file(WRITE ${bin}/spctl [[#!/bin/sh
for path; do :; done
echo "spctl $3 ${path##*/}" >>"$LOG"
[ "$1 $2" = "--assess --type" ] || { echo "bad: spctl $*" >>"$LOG"; exit 64; }
{ echo "$path: ${SPCTL%%/*}"; echo "${SPCTL#*/}" | tr / '\n'; } >&2
exit "$SPCTL_STATUS"
]])
# codesign's notarization check of PATH exits $NOTARIZED.
file(WRITE ${bin}/codesign [[#!/bin/sh
echo "codesign ${5##*/}" >>"$LOG"
[ "$*" = "--verify --strict --check-notarization -R=notarized $5" ] ||
  { echo "bad: codesign $*" >>"$LOG"; exit 64; }
exit "$NOTARIZED"
]])
# hdiutil attach is busy for the first $BUSY tries; detach succeeds.
file(WRITE ${bin}/hdiutil [[#!/bin/sh
echo "$1" >>"$LOG"
case "$1 $2 $3 $4 $6" in
  "attach -nobrowse -readonly -mountpoint $DMG")
    [ -d "$5" ] || exit 1
    if [ "$(grep -c '^attach$' "$LOG")" -le "$BUSY" ]; then
      echo "hdiutil: attach failed - Resource busy" >&2
      exit 16
    fi ;;
  detach*) ;;
  *) echo "bad: hdiutil $*" >>"$LOG"; exit 64 ;;
esac
]])
file(WRITE ${bin}/sleep [[#!/bin/sh
echo "sleep $*" >>"$LOG"
]])
file(CHMOD ${bin}/spctl ${bin}/codesign ${bin}/hdiutil ${bin}/sleep
  PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(image "spctl open Quorvane-1.0.0.dmg,codesign Quorvane-1.0.0.dmg")
set(app "spctl execute Quorvane.app,codesign Quorvane.app")
set(notarized "accepted/source=Notarized Developer ID")
set(off "override=security disabled")
set(offNote "Gatekeeper's assessment is off on this machine (${off}), so its notarization rests on \
codesign's check alone")
set(attachFails "attach,sleep 15,attach,sleep 15,attach,sleep 15,attach")
# spctl's verdict|its status|codesign's status|busy attaches|status|calls|what it says|summary
set(cases
  "${notarized}|0|0|0|0|${image},attach,${app},detach||"
  "${notarized}/${off}|0|0|0|0|${image},attach,${app},detach|${offNote}|${offNote}"
  "accepted/source=no usable signature/${off}|0|1|0|1|${image},attach,${app},detach|\
codesign finds it not notarized|"
  "rejected/source=no usable signature|3|0|0|1|${image},attach,${app},detach|\
Gatekeeper does not accept it as notarized|"
  "accepted/source=Developer ID|0|0|0|1|${image},attach,${app},detach|\
Gatekeeper does not accept it as notarized|"
  "${notarized}|0|0|1|0|${image},attach,sleep 15,attach,${app},detach||"
  "${notarized}|0|0|4|1|${image},${attachFails}|could not be attached (4 tries)|")
set(failed)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 spctl)
  list(GET fields 1 spctlStatus)
  list(GET fields 2 notarized)
  list(GET fields 3 busy)
  list(GET fields 4 expectedStatus)
  list(GET fields 5 expectedCalls)
  list(GET fields 6 says)
  list(GET fields 7 expectedSummary)
  file(WRITE ${log} "")
  file(REMOVE ${summary})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PATH=${bin}:$ENV{PATH} LOG=${log} DMG=${dmg}
                          SPCTL=${spctl} SPCTL_STATUS=${spctlStatus} NOTARIZED=${notarized}
                          BUSY=${busy} GITHUB_STEP_SUMMARY=${summary} TMPDIR=${WORK_DIR}
                          /bin/bash ${SCRIPT} ${dmg}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(STRINGS ${log} calls)
  list(JOIN calls "," calls)
  set(summaryText "")
  if(EXISTS ${summary})
    file(READ ${summary} summaryText)
  endif()
  string(FIND "${out}${err}" "${says}" at)
  string(FIND "${summaryText}" "${expectedSummary}" summaryAt)
  file(GLOB mountpoints ${WORK_DIR}/assess-gatekeeper.*)
  if(NOT status EQUAL expectedStatus OR NOT calls STREQUAL expectedCalls OR at LESS 0
     OR summaryAt LESS 0 OR (expectedSummary STREQUAL "" AND NOT summaryText STREQUAL "")
     OR mountpoints)
    list(APPEND failed "${case}: status ${status}, calls '${calls}', summary '${summaryText}', \
left '${mountpoints}'\n${out}${err}")
  endif()
endforeach()

execute_process(COMMAND /bin/bash ${SCRIPT} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 2)
  list(APPEND failed "no arguments: status ${status}")
endif()

if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "assess-gatekeeper misbehaves:\n  ${failed}")
endif()
