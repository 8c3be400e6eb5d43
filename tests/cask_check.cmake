# Renders the Homebrew cask as the release workflow does, notarized and ad hoc, and checks that
# Ruby parses it, that every placeholder was filled, that it downloads the disk image CPack names
# for that release, that it states the oldest macOS in the form Homebrew 6 reads without a warning,
# and that zap's script may fail. A malformed checksum must be refused. Where bash and shasum
# exist, the script that makes a release's checksum, cask and notes is run on a stand-in image as
# well.
# Arguments: -DRUBY=ruby -DSOURCE_DIR=repository -DWORK_DIR=scratch folder
cmake_minimum_required(VERSION 3.25)
set(render ${SOURCE_DIR}/packaging/homebrew/render_cask.cmake)
set(sha 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef)

foreach(adhoc OFF ON)
  set(cask ${WORK_DIR}/quorvane-${adhoc}.rb)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVERSION=12.3.45 -DSHA256=${sha}
                          -DREPOSITORY=example/quorvane -DADHOC=${adhoc} -DOUTPUT=${cask}
                          -P ${render}
    RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "rendering the cask (ADHOC=${adhoc}) failed:\n${err}")
  endif()
  execute_process(COMMAND ${RUBY} -c ${cask} RESULT_VARIABLE status OUTPUT_VARIABLE out
                                             ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${cask} is not valid Ruby:\n${out}${err}")
  endif()

  file(READ ${cask} text)
  if(text MATCHES "@[A-Z_0-9]+@")
    message(FATAL_ERROR "${cask}: placeholder ${CMAKE_MATCH_0} left unfilled")
  endif()
  set(suffix "")
  if(adhoc)
    set(suffix -adhoc)
  endif()
  foreach(needed
      "version \"12.3.45\"" "sha256 \"${sha}\""
      "/releases/download/v#{version}/Quorvane-#{version}${suffix}.dmg\""
      "depends_on macos: :ventura\n" "app \"Quorvane.app\""
      "uninstall quit: \"com.quorvane.Quorvane\"" "zap ")
    string(FIND "${text}" "${needed}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${cask} lacks ${needed}")
    endif()
  endforeach()
  # zap removes the app before its script runs, and a script must succeed unless told otherwise:
  # tccutil failing there would stop zap before its trash.
  if(NOT text MATCHES "zap script: {[^}]*must_succeed: +false,[^}]*}")
    message(FATAL_ERROR "${cask}: zap's script is not allowed to fail")
  endif()
  # The comparison string is deprecated since Homebrew 5.1.11.
  if(text MATCHES "depends_on macos: \"")
    message(FATAL_ERROR "${cask} states the oldest macOS as a comparison string")
  endif()
  string(FIND "${text}" "caveats" at)
  if((adhoc AND at EQUAL -1) OR (NOT adhoc AND NOT at EQUAL -1))
    message(FATAL_ERROR "${cask}: ad hoc is ${adhoc}, yet caveats are found at ${at}")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -DVERSION=12.3.45 -DSHA256=${sha}0
                        -DREPOSITORY=example/quorvane -DOUTPUT=${WORK_DIR}/bad.rb -P ${render}
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(status EQUAL 0)
  message(FATAL_ERROR "a 65-digit checksum was accepted")
endif()

# What a release carries beside the image, made from a stand-in image of known checksum.
find_program(BASH bash)
find_program(SHASUM shasum)
if(BASH AND SHASUM)
  set(assets ${WORK_DIR}/release-assets)
  file(REMOVE_RECURSE ${assets})
  file(MAKE_DIRECTORY ${assets})
  file(WRITE ${assets}/Quorvane-12.3.45.dmg "not a disk image\n")
  file(SHA256 ${assets}/Quorvane-12.3.45.dmg image_sha)
  execute_process(COMMAND ${BASH} ${SOURCE_DIR}/packaging/release-assets 12.3.45
                          ${assets}/Quorvane-12.3.45.dmg example/quorvane developer-id ${assets}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "packaging/release-assets failed:\n${out}${err}")
  endif()
  file(READ ${assets}/Quorvane-12.3.45.dmg.sha256 text)
  if(NOT text STREQUAL "${image_sha}  Quorvane-12.3.45.dmg\n")
    message(FATAL_ERROR "the checksum file reads '${text}', not the image's SHA-256 and name")
  endif()
  file(READ ${assets}/quorvane.rb text)
  string(FIND "${text}" "sha256 \"${image_sha}\"" at)
  if(at EQUAL -1 OR text MATCHES "caveats")
    message(FATAL_ERROR "the release's cask lacks the image's checksum or has ad-hoc caveats:\n${text}")
  endif()
  file(READ ${assets}/notes.md text)
  foreach(needed "Quorvane 12.3.45 for macOS 13" "notarized by Apple"
                 "SHA-256 of `Quorvane-12.3.45.dmg`: `${image_sha}`")
    string(FIND "${text}" "${needed}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the release notes lack '${needed}':\n${text}")
    endif()
  endforeach()
  execute_process(COMMAND ${BASH} ${SOURCE_DIR}/packaging/release-assets 12.3.45
                          ${assets}/Quorvane-12.3.45.dmg example/quorvane notarized ${assets}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
  if(status EQUAL 0 OR NOT err MATCHES "signing 'notarized' is neither")
    message(FATAL_ERROR "an unknown signing was accepted or not named: ${err}")
  endif()
endif()
