# Checks Quorvane.app's rendered Info.plist: an XML property list whose one dictionary holds
# exactly the keys below with these values (plutil checks it further on macOS). It names the icon
# in Contents/Resources, and the icon in the asset catalog only where the bundle has the catalog:
# CFBundleIconName without one leaves the app with the generic icon.
# Arguments: -DPLIST=file -DVERSION=project version -DICON_CATALOG=ON|OFF
cmake_minimum_required(VERSION 3.25)
set(iconName)
if(ICON_CATALOG)
  set(iconName CFBundleIconName Quorvane)
endif()
set(expected
  CFBundleExecutable Quorvane
  CFBundleIconFile Quorvane
  ${iconName}
  CFBundleIdentifier com.quorvane.Quorvane
  CFBundleInfoDictionaryVersion 6.0
  CFBundleName Quorvane
  CFBundlePackageType APPL
  CFBundleShortVersionString ${VERSION}
  CFBundleVersion ${VERSION}
  LSMinimumSystemVersion 13.0
  LSUIElement <true/>)

file(READ ${PLIST} rest)
if(rest MATCHES "[;[]")
  message(FATAL_ERROR "${PLIST}: ';' and '[' are not expected here")
endif()

# Take out each key and its value; what remains must be the bare skeleton of a property list.
set(pair "[ \t\n]*<key>([^<]*)</key>[ \t\n]*(<string>([^<]*)</string>|<true/>|<false/>)")
string(REGEX MATCHALL "${pair}" pairs "${rest}")
string(REGEX REPLACE "${pair}" "" rest "${rest}")
string(STRIP "${rest}" rest)
string(REGEX REPLACE ">[ \t\r\n]+<" "><" rest "${rest}")
set(skeleton [[<?xml version="1.0" encoding="UTF-8"?>]]
  [[<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">]]
  [[<plist version="1.0"><dict></dict></plist>]])
string(JOIN "" skeleton ${skeleton})
if(NOT rest STREQUAL skeleton)
  message(FATAL_ERROR "${PLIST}: not a property list of one dictionary of strings and booleans; "
                      "apart from its entries it reads:\n${rest}")
endif()

set(found)
foreach(entry IN LISTS pairs)
  string(REGEX MATCH "${pair}" entry "${entry}")
  set(key ${CMAKE_MATCH_1})
  set(value "${CMAKE_MATCH_2}")
  set(text "${CMAKE_MATCH_3}")
  if(value MATCHES "^<string>")
    set(value "${text}")
  endif()
  if(value MATCHES "&" OR value STREQUAL "")
    message(FATAL_ERROR "${PLIST}: ${key} has the value '${value}'")
  endif()
  if(key IN_LIST found)
    message(FATAL_ERROR "${PLIST}: ${key} appears twice")
  endif()
  list(APPEND found ${key} ${value})
endforeach()

if(NOT found STREQUAL expected)
  string(REPLACE ";" " " found "${found}")
  string(REPLACE ";" " " expected "${expected}")
  message(FATAL_ERROR "${PLIST}:\n holds     ${found}\n should be ${expected}")
endif()
