# Compiles, syntax only and with warnings as errors, every file that only Apple hosts build.
# Elsewhere than on macOS the frameworks come from the declaration set in tests/macos-api, once as
# arm64 and once as x86_64 (their BOOL differs); on macOS from the SDK, for both architectures at
# the deployment target.
# Arguments: -DCLANGXX=compiler -DSOURCE_DIR=repository -DAPPLE_SDK=ON|OFF
cmake_minimum_required(VERSION 3.25)
file(GLOB sources ${SOURCE_DIR}/platform/macos/*.mm ${SOURCE_DIR}/platform/macos/*.cpp
     ${SOURCE_DIR}/tools/mac-replay/*.mm)
list(APPEND sources ${SOURCE_DIR}/app/main.cpp)

set(flags -fsyntax-only -x objective-c++ -fobjc-arc -fblocks -std=c++20
    -fobjc-runtime=macosx-13.0 -Wall -Wextra -Wpedantic -Werror -I${SOURCE_DIR})
if(APPLE_SDK)
  set(arm64 -arch arm64 -mmacosx-version-min=13.0)
  set(x86_64 -arch x86_64 -mmacosx-version-min=13.0)
else()
  list(APPEND flags -isystem ${SOURCE_DIR}/tests/macos-api)
  set(arm64 -U__OBJC_BOOL_IS_BOOL -D__OBJC_BOOL_IS_BOOL=1)
  set(x86_64 -U__OBJC_BOOL_IS_BOOL -D__OBJC_BOOL_IS_BOOL=0)
endif()

set(failed)
foreach(source IN LISTS sources)
  set(shown "")
  foreach(arch arm64 x86_64)
    execute_process(COMMAND ${CLANGXX} ${flags} ${${arch}} ${source}
      RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      if(NOT "${out}${err}" STREQUAL shown)
        message("${out}${err}")
        set(shown "${out}${err}")
      endif()
      list(APPEND failed "${source} (${arch})")
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(failed)
  list(JOIN failed "\n  " failedList)
  message(FATAL_ERROR "does not compile against the macOS API:\n  ${failedList}")
endif()
message("${count} files compile against the macOS API as arm64 and x86_64")
