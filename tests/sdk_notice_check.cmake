# Checks when configure warns that the macOS SDK is older than 26, from the Version in the SDK's
# SDKSettings.json: a fake SDK folder for each case.
# Arguments: -DSOURCE_DIR=repository -DWORK_DIR=scratch folder
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/packaging/macos/sdk-notice.cmake)

# SDKSettings.json's content (none: no such file) and the start of the notice ("" for none).
set(cases
  [[{"Version": "15.5", "CanonicalName": "macosx15.5"}|macOS SDK 15.5 is older than 26: ]]
  [[{"Version": "25.9"}|macOS SDK 25.9 is older than 26: ]]
  [[{"Version": "26.0"}|]]
  [[{"Version": "26.2", "CanonicalName": "macosx26.2"}|]]
  [[{"Version": "27"}|]]
  [[{"Version": "27.1.1"}|]]
  [[none|cannot read the version of the macOS SDK at ]]
  [[{"CanonicalName": "macosx15.5"}|cannot read the version of the macOS SDK at ]]
  [[{"Version": "beta"}|cannot read the version of the macOS SDK at ]]
  [[not json|cannot read the version of the macOS SDK at ]])
set(failed)
set(number 0)
foreach(case IN LISTS cases)
  string(FIND "${case}" "|" bar REVERSE)
  string(SUBSTRING "${case}" 0 ${bar} settings)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${case}" ${bar} -1 expected)
  math(EXPR number "${number} + 1")
  set(sdk ${WORK_DIR}/sdk-notice/${number}/MacOSX.sdk)
  file(REMOVE_RECURSE ${sdk})
  file(MAKE_DIRECTORY ${sdk})
  if(NOT settings STREQUAL "none")
    file(WRITE ${sdk}/SDKSettings.json "${settings}")
  endif()
  quorvane_old_sdk_notice(${sdk} notice)
  string(FIND "${notice}" "${expected}" at)
  if((expected STREQUAL "" AND NOT notice STREQUAL "") OR NOT at EQUAL 0)
    list(APPEND failed "'${settings}': '${notice}', expected it to start with '${expected}'")
  endif()
endforeach()
if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "the old-SDK notice is decided wrongly:\n  ${failed}")
endif()
