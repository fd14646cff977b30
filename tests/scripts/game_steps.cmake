# Steps shared by the scripts that build and play test games.

cmake_minimum_required(VERSION 3.25)

# Runs a command and stops with its output when it fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${status}):\n${out}${err}")
  endif()
endfunction()

# Plays the game in folder game headless for the given number of frames and checks that it set
# its variable ok (to 1 or true), reading the variables kivoplay dumps into work.
function(check_game kivoplay game work frames)
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${kivoplay} --headless --frames ${frames} --dump-vars ${work}/vars.json
                          ${game}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kivoplay failed (${status}) on ${game}:\n${out}${err}")
  endif()
  file(READ ${work}/vars.json json)
  string(JSON count LENGTH "${json}" vars)
  set(ok "")
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON name GET "${json}" vars ${i} name)
      if(name STREQUAL "ok")
        string(JSON ok GET "${json}" vars ${i} values 0)
      endif()
    endforeach()
  endif()
  if(NOT (ok STREQUAL "1" OR ok STREQUAL "ON" OR ok STREQUAL "true"))
    message(FATAL_ERROR "${game} ended with ok = \"${ok}\" after ${frames} frames\n${err}")
  endif()
endfunction()
