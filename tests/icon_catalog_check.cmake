# Checks when a build compiles Quorvane.icon into an asset catalog: with the actool of Xcode 26 or
# later, and otherwise never, saying why. A stand-in for xcrun answers as each actool would.
# Arguments: -DSOURCE_DIR=repository
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/packaging/macos/icon-catalog.cmake)

# actool's version (none: the Command Line Tools alone), whether a catalog is built, and the reason
# given when not.
set(cases
  "26.0|ON|"
  "26.1.1|ON|"
  "27.0|ON|"
  "16.4|OFF|actool 16.4 cannot compile Quorvane.icon (Xcode 26 or later can)"
  "9.2|OFF|actool 9.2 cannot compile Quorvane.icon (Xcode 26 or later can)"
  "none|OFF|no actool (Xcode 26 or later has one that can compile Quorvane.icon)"
  "|OFF|actool --version did not say which actool it is")
set(failed)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}|")
  list(GET fields 0 version)
  list(GET fields 1 expected)
  list(GET fields 2 because)
  set(ENV{QUORVANE_FAKE_ACTOOL} "${version}")
  quorvane_icon_catalog(${SOURCE_DIR}/tests/icon/fake-xcrun result reason)
  if(NOT result STREQUAL expected OR NOT reason STREQUAL because)
    list(APPEND failed "actool '${version}': ${result} '${reason}', expected ${expected} '${because}'")
  endif()
endforeach()
quorvane_icon_catalog("" result reason)
if(NOT result STREQUAL OFF OR NOT reason STREQUAL "no xcrun")
  list(APPEND failed "no xcrun: ${result} '${reason}'")
endif()
if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "the icon catalog is decided wrongly:\n  ${failed}")
endif()
