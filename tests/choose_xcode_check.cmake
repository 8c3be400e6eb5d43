# packaging/macos/choose-xcode --dry-run on a folder laid out like a hosted Mac's /Applications:
# a major means its newest Xcode, compared as numbers, a full version exactly that Xcode, and
# neither Xcode.app nor a beta's own folder counts. Run in the C locale, which fixes the order the
# Xcodes are listed in, by /bin/bash, which on a Mac is the bash 3.2 every Mac has.
set(apps ${WORK_DIR}/Applications)
file(REMOVE_RECURSE ${apps})
foreach(app Xcode.app Xcode_26.6.app Xcode_27_beta_6.app Xcode_27.0.1.app Xcode_27.1.app
            Xcode_28.9.app Xcode_28.10.app Xcode_28.10.1.app)
  file(MAKE_DIRECTORY ${apps}/${app})
endforeach()
# The images link each Xcode under its full version too, and a beta under its version.
file(CREATE_LINK ${apps}/Xcode_26.6.app ${apps}/Xcode_26.6.0.app SYMBOLIC)
file(CREATE_LINK ${apps}/Xcode_27_beta_6.app ${apps}/Xcode_27.0.app SYMBOLIC)

function(expect status out err)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C /bin/bash ${SCRIPT} ${ARGN}
    RESULT_VARIABLE gotStatus OUTPUT_VARIABLE gotOut ERROR_VARIABLE gotErr)
  if(NOT gotStatus EQUAL status OR NOT gotOut STREQUAL out OR NOT gotErr MATCHES "${err}")
    message(FATAL_ERROR "${ARGN}: status ${gotStatus}, stdout '${gotOut}', stderr '${gotErr}'")
  endif()
endfunction()

expect(0 "${apps}/Xcode_27.1.app\n" "^$" --dry-run 27 ${apps})
expect(0 "${apps}/Xcode_26.6.app\n" "^$" --dry-run 26.6 ${apps})
expect(0 "${apps}/Xcode_26.6.app\n" "^$" --dry-run 26 ${apps})
expect(0 "${apps}/Xcode_27.0.app\n" "^$" --dry-run 27.0 ${apps})
expect(0 "${apps}/Xcode_28.10.1.app\n" "^$" --dry-run 28 ${apps})
expect(1 "" "^::error::No Xcode 25 in ${apps}\\. It has: Xcode.app Xcode_26.6.0.app \
Xcode_26.6.app Xcode_27.0.1.app Xcode_27.0.app Xcode_27.1.app Xcode_27_beta_6.app \
Xcode_28.10.1.app Xcode_28.10.app Xcode_28.9.app\n$" --dry-run 25 ${apps})
expect(1 "" "^::error::No Xcode 26.5 in " --dry-run 26.5 ${apps})
expect(2 "" "^usage: " --dry-run 27)
expect(2 "" "^usage: " --list 27 ${apps})
expect(2 "" "'27b' is not a version such as 27 or 26.6\nusage: " --dry-run 27b ${apps})
expect(2 "" "'${apps}/none' is not a folder\nusage: " --dry-run 27 ${apps}/none)
