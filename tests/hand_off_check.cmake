# packaging/macos/hand-off, run as the release workflow runs it: a case gives the notarize and
# staple steps' outcomes and states what is left, the wait it prints (if any) and the draft's notes;
# the whole summary is compared, commands and all. Every input is set in each run, none taken from
# the environment the test runs in. Run by /bin/bash, on a Mac the bash 3.2 every Mac has.
# Arguments: -DSCRIPT=packaging/macos/hand-off
cmake_minimum_required(VERSION 3.25)
set(id 2efe2717-52ef-43a5-96dc-0797e4ca1041)
set(inputs DMG=build/release/Quorvane-1.0.0.dmg VERSION=1.0.0 TAG=v1.0.0
           ARTIFACT=quorvane-1.0.0-submitted-2 GITHUB_RUN_ID=4242
           GITHUB_REPOSITORY=quorvane/quorvane)
set(template [[## Quorvane 1.0.0: @left@ left (submission `@shown@`)

The image submitted is kept as the artifact `quorvane-1.0.0-submitted-2` of this run for 30 days,
before stapling, and the release is a draft. To finish it, on a Mac with Xcode, the
GitHub CLI and CMake 3.25 or newer, in a clone of the tag `v1.0.0`, with the
notarization secrets set in the environment under their own names (the key's text):

```sh
gh run download 4242 --repo quorvane/quorvane --name quorvane-1.0.0-submitted-2 --dir handover
@wait@packaging/macos/staple handover/Quorvane-1.0.0.dmg
packaging/macos/assess-gatekeeper handover/Quorvane-1.0.0.dmg
packaging/release-assets 1.0.0 handover/Quorvane-1.0.0.dmg quorvane/quorvane developer-id handover
gh release upload v1.0.0 handover/Quorvane-1.0.0.dmg handover/Quorvane-1.0.0.dmg.sha256 handover/quorvane.rb --repo quorvane/quorvane --clobber
gh release edit v1.0.0 --notes-file handover/notes.md --draft=false --repo quorvane/quorvane
```

@goOn@Publish only if the staple validates and assess-gatekeeper passes.
]])
set(goOn "Go on past notarize only once it exits 0, Accepted (3: not yet, run it again).\n")
set(answer "Apple's answer, stapling, the checks and the upload")
set(resubmit "packaging/macos/notarize handover/Quorvane-1.0.0.dmg  # or --id ID, if the log above \
shows one")

# submission id|notarize's status|staple's outcome|what is left (REFUSED: nothing)|the wait printed
set(cases
  "${id}|Accepted|success|the checks and the upload|"
  "${id}|Accepted|failure|stapling, the checks and the upload|"
  "${id}|Accepted|cancelled|stapling, the checks and the upload|"
  "${id}|In Progress|skipped|${answer}|packaging/macos/notarize --id ${id}"
  # Cut off by the step's time limit or cancelled while waiting: notarize wrote no status.
  "${id}|||${answer}|packaging/macos/notarize --id ${id}"
  "|||the submission and all after it|${resubmit}"
  "${id}|Invalid|skipped|REFUSED|"
  "${id}|Rejected|skipped|REFUSED|")
set(failed)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(POP_FRONT fields submission status stapled left wait)
  set(env ${inputs} SUBMISSION_ID=${submission} NOTARIZE_STATUS=${status} STAPLE_OUTCOME=${stapled})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} /bin/bash ${SCRIPT}
    RESULT_VARIABLE summaryStatus OUTPUT_VARIABLE summary ERROR_VARIABLE err)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} /bin/bash ${SCRIPT} --notes
    RESULT_VARIABLE notesStatus OUTPUT_VARIABLE notes ERROR_VARIABLE notesErr)
  if(left STREQUAL "REFUSED")
    set(expected "Apple refused submission `${id}` (${status}; its log is above): nothing to \
finish.\n")
    set(expectedNotes "4|")
  else()
    set(shown none)
    if(NOT "${submission}" STREQUAL "")
      set(shown ${submission})
    endif()
    if(wait STREQUAL "")
      set(goOnLine "")
    else()
      set(goOnLine "${goOn}")
      string(APPEND wait "\n")
    endif()
    string(REPLACE "@goOn@" "${goOnLine}" expected "${template}")
    string(CONFIGURE "${expected}" expected @ONLY)
    set(expectedNotes "0|Waiting for ${left} (submission ${shown}).\n")
  endif()
  if(NOT summaryStatus EQUAL 0 OR NOT summary STREQUAL expected
     OR NOT "${notesStatus}|${notes}" STREQUAL expectedNotes)
    list(APPEND failed "${case}: status ${summaryStatus}, --notes ${notesStatus} '${notes}'\
\n${summary}${err}${notesErr}")
  endif()
endforeach()

# Bad arguments or inputs: status 2 and a message, nothing printed.
foreach(bad "--id|usage: hand-off" "--notes more|usage: hand-off"
            "ARTIFACT=|ARTIFACT is not set" "GITHUB_REPOSITORY=|GITHUB_REPOSITORY is not set"
            "SUBMISSION_ID=x$(reboot)|'x$(reboot)' is not a submission id"
            "STAPLE_OUTCOME=Success|'Success' is not a step's outcome")
  string(REPLACE "|" ";" bad "${bad}")
  list(POP_FRONT bad what error)
  set(args)
  set(env ${inputs} SUBMISSION_ID=${id})
  if(what MATCHES "^--")
    separate_arguments(args UNIX_COMMAND "${what}")
  else()
    list(APPEND env "${what}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} /bin/bash ${SCRIPT} ${args}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${err}" "${error}" at)
  if(NOT status EQUAL 2 OR at LESS 0 OR NOT out STREQUAL "")
    list(APPEND failed "${what}: status ${status}\n${out}${err}")
  endif()
endforeach()

if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "hand-off misbehaves:\n  ${failed}")
endif()
