# Runs quorvane-compare as a user does: status 0 and "agree", 1 and the first disagreement, 2 and
# what is wrong with the input.
set(dir ${CMAKE_CURRENT_BINARY_DIR})
file(WRITE ${dir}/expected.log "0.350 flagsChanged key=55 flags=0x100000 user=1364152918\n"
                               "1.000 keyDown key=53 flags=0x100000 user=1364152918\n"
                               "1.250 exit\n")
# A Mac's log: counted from the launch request, extra flag bits, CRLF and a trailing blank line.
file(WRITE ${dir}/observed.log "0.800 flagsChanged key=55 flags=0x20100108 user=1364152918\r\n"
                               "1.420 keyDown key=53 flags=0x100100 user=1364152918\r\n"
                               "1.800 exit\r\n\r\n")
file(WRITE ${dir}/malformed.log "0.350 flagsChanged key=55 flags=0x100000 user=1364152918\n"
                                "x exit\n")

function(expect status out err)
  execute_process(COMMAND ${COMPARE} ${ARGN}
    RESULT_VARIABLE gotStatus OUTPUT_VARIABLE gotOut ERROR_VARIABLE gotErr)
  if(NOT gotStatus EQUAL status OR NOT gotOut STREQUAL out OR NOT gotErr MATCHES "${err}")
    message(FATAL_ERROR "${ARGN}: status ${gotStatus}, stdout '${gotOut}', stderr '${gotErr}'")
  endif()
endfunction()

expect(1 "${dir}/expected.log:3 vs ${dir}/observed.log:3: time 0.100 s late (tolerance 0.050 s)
  expected: 1.250 exit
  observed: 1.800 exit
" "^$" ${dir}/expected.log ${dir}/observed.log)
expect(0 "agree\n" "^$" ${dir}/expected.log ${dir}/observed.log --tolerance 0.1)
expect(0 "agree\n" "^$" --tolerance 0.1 ${dir}/observed.log ${dir}/observed.log)
expect(2 "" "^quorvane-compare: ${dir}/malformed.log:2: bad time 'x'\n$"
       ${dir}/expected.log ${dir}/malformed.log)
expect(2 "" "^quorvane-compare: ${dir}/no-such.log: cannot open the log\n$"
       ${dir}/no-such.log ${dir}/expected.log)
expect(2 "" "^quorvane-compare: bad tolerance '-1': seconds, like 0.05\n$"
       ${dir}/expected.log ${dir}/observed.log --tolerance -1)
expect(2 "" "^quorvane-compare: unknown argument '--fast'\nusage: "
       ${dir}/expected.log ${dir}/observed.log --fast)
expect(2 "" "^usage: quorvane-compare EXPECTED OBSERVED" ${dir}/expected.log)
