# Whether this Mac can compile Quorvane.icon, the Icon Composer package macOS 26 and later draw in
# Liquid Glass, into an asset catalog. Only the actool of Xcode 26 or later can; the Command Line
# Tools alone have no actool, and an older Xcode's cannot read the package.
#
# quorvane_icon_catalog(XCRUN RESULT REASON) asks XCRUN (the path of xcrun) for actool's version
# and sets RESULT to ON or OFF, and REASON, when OFF, to why not, in a few words.
function(quorvane_icon_catalog xcrun result reason)
  set(${result} OFF PARENT_SCOPE)
  if(NOT xcrun)
    set(${reason} "no xcrun" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${xcrun} actool --version
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(${reason} "no actool (Xcode 26 or later has one that can compile Quorvane.icon)"
        PARENT_SCOPE)
    return()
  endif()
  # actool --version prints a property list whose short-bundle-version is Xcode's version.
  string(REGEX REPLACE "[ \t\r\n]" "" said "${said}")
  if(NOT said MATCHES "<key>short-bundle-version</key><string>(([0-9]+)[.0-9]*)</string>")
    set(${reason} "actool --version did not say which actool it is" PARENT_SCOPE)
    return()
  endif()
  if(CMAKE_MATCH_2 LESS 26)
    set(${reason} "actool ${CMAKE_MATCH_1} cannot compile Quorvane.icon (Xcode 26 or later can)"
        PARENT_SCOPE)
    return()
  endif()
  set(${result} ON PARENT_SCOPE)
  set(${reason} "" PARENT_SCOPE)
endfunction()
