# quorvane-mac-replay as a user runs it where there is no Mac: the dry run prints what its expected
# file says and leaves as --check would; misuse, traces a Mac cannot follow and a "# mac:" line it
# cannot read get status 2 and a message naming what is wrong.
# Arguments: -DTOOL=quorvane-mac-replay -DTESTS=tests directory -DWORK_DIR=scratch directory
function(expect name status stdout stderr)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT got STREQUAL status OR NOT out MATCHES "${stdout}" OR NOT err MATCHES "${stderr}")
    message(FATAL_ERROR "${name}: status ${got}, stdout '${out}', stderr '${err}'")
  endif()
endfunction()

file(READ ${TESTS}/traces/commit.dry-run expected)
execute_process(COMMAND ${TOOL} --dry-run ${TESTS}/traces/commit.trace
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
  message(FATAL_ERROR "dry run: status ${status}, stdout '${out}', stderr '${err}'")
endif()

# A trace's "# mac:" line describes the Mac; the dry run ends with what --check would conclude,
# and leaves with its status.
expect("disagreeing Mac" 1 "\nverdict: predicted:2 vs observed:2: the alert differs\n" "^$"
       --dry-run ${TESTS}/mac-replay/alert-behind.trace)
expect("refused" 2 "\nverdict: refused: the tool is not trusted for Accessibility\n$" "^$"
       --dry-run ${TESTS}/mac-replay/tool-not-trusted.trace)
file(WRITE ${WORK_DIR}/unknown-mac.trace "1 mouseMoved\n# mac: exit=2 bogus=1\n")
expect("unknown word" 2 "^$" "unknown-mac.trace:2: cannot read 'bogus=1' in the # mac: line\n$"
       --dry-run ${WORK_DIR}/unknown-mac.trace)

file(WRITE ${WORK_DIR}/failing.trace "trusted no\nfail tap\n1 mouseMoved\n")
expect("unplayable" 2 "^$" "^quorvane-mac-replay: [^\n]*failing.trace:2: cannot follow 'fail tap'"
       --dry-run ${WORK_DIR}/failing.trace)
expect("unknown argument" 2 "^$" "unknown argument '--dryrun'\nusage: quorvane-mac-replay APP"
       --dryrun ${TESTS}/traces/commit.trace)
expect("dry run and check" 2 "^$" "--dry-run and --check do not go together"
       --dry-run ${TESTS}/traces/commit.trace --check)
expect("no trace" 2 "^$" "^usage: " --dry-run)
expect("missing trace" 2 "^$" "no-such.trace: cannot open the trace\n$"
       --dry-run ${WORK_DIR}/no-such.trace)
expect("no Mac" 2 "^$" "playing a trace against the app needs a Mac"
       Quorvane.app ${TESTS}/traces/commit.trace --check)
