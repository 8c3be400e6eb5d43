# Renders the Homebrew cask as the release workflow does, notarized and ad hoc, and checks that
# Ruby parses it, that every placeholder was filled, that it downloads the disk image CPack names
# for that release, and that it states the oldest macOS in the form Homebrew 6 reads without a
# warning. A malformed checksum must be refused.
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

