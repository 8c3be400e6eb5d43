# For the checks of JSON files. read_json(FILE) sets json, in the caller's scope, to FILE's text
# once Ruby's strict parser (where RUBY is set) has accepted it: CMake's own reader lets trailing
# commas and text pass. need_type(TYPE PATH...) then fails unless the value at PATH has that type.
macro(read_json file)
  set(json_file ${file})
  if(RUBY)
    execute_process(COMMAND ${RUBY} -rjson -e "JSON.parse(File.read(ARGV[0]))" ${json_file}
      RESULT_VARIABLE status ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${json_file}: not valid JSON:\n${err}")
    endif()
  endif()
  file(READ ${json_file} json)
endmacro()

function(need_type type)
  string(JSON actual ERROR_VARIABLE err TYPE "${json}" ${ARGN})
  if(err OR NOT actual STREQUAL type)
    string(REPLACE ";" "." at "${ARGN}")
    if(NOT err)
      set(err "is ${actual}")
    endif()
    message(FATAL_ERROR "${json_file}: ${at} should be ${type}: ${err}")
  endif()
endfunction()
