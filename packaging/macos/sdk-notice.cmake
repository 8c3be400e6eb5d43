# Whether the macOS SDK a build compiles against is too old for the texts to be right on every Mac.
# To an app built with an SDK older than macOS 26's, the first macOS 26 betas reported version 16
# (2025-06), which Quorvane reads as 26, and beta 4 reported 26 (2025-07). What the released
# macOS 26, 27 and later report to such an app is not documented (as of 2026-12): if 27 says 16,
# the app takes it for macOS 26 and names the permission's pane by its old name. Hence "may": the
# Mac check's run of the macos-15 build on macOS 26 and 27 will tell whether it does.
#
# quorvane_old_sdk_notice(SDK RESULT) reads the Version in SDK/SDKSettings.json, the SDK's own
# record of what it is, and sets RESULT to a one-line notice when the SDK is older than 26 or its
# version cannot be read, and to "" when it is 26 or newer.
function(quorvane_old_sdk_notice sdk result)
  set(consequence "Quorvane.app built with it may show its macOS 26 texts on macOS 27 and later, \
should they report their version to it as 16, as early macOS 26 betas did")
  set(version "")
  if(EXISTS "${sdk}/SDKSettings.json")
    file(READ "${sdk}/SDKSettings.json" settings)
    string(JSON version ERROR_VARIABLE error GET "${settings}" Version)
  endif()
  if(NOT version MATCHES "^([0-9]+)(\\.[0-9]+)*$")
    set(${result} "cannot read the version of the macOS SDK at '${sdk}'; if it is older than 26, ${consequence}" PARENT_SCOPE)
  elseif(CMAKE_MATCH_1 LESS 26)
    set(${result} "macOS SDK ${version} is older than 26: ${consequence} (build with Xcode 26 or later for those Macs)" PARENT_SCOPE)
  else()
    set(${result} "" PARENT_SCOPE)
  endif()
endfunction()
