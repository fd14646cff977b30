# Plays a built game headless for FRAMES frames and checks that it set its variable ok (to 1 or
# true), reading the variables kivoplay dumps.
#   cmake -DKIVOPLAY=... -DGAME=<game folder> -DWORK=<folder> -DFRAMES=N -P check_game.cmake

cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${KIVOPLAY} --headless --frames ${FRAMES} --dump-vars ${WORK}/vars.json
                        ${GAME}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kivoplay failed (${status}) on ${GAME}:\n${out}${err}")
endif()

file(READ ${WORK}/vars.json json)
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
  message(FATAL_ERROR "${GAME} ended with ok = \"${ok}\" after ${FRAMES} frames\n${err}")
endif()
