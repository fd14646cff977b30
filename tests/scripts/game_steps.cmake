# Steps shared by the scripts that build and play test games.

cmake_minimum_required(VERSION 3.25)

# Runs a command and stops with its output when it fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${status}):\n${out}${err}")
  endif()
endfunction()

# The first value of variable name in the variable dump at path, "missing" when it has none.
function(dumped_value path name out)
  file(READ ${path} json)
  string(JSON count LENGTH "${json}" vars)
  set(value "missing")
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON each GET "${json}" vars ${i} name)
      if(each STREQUAL name)
        string(JSON value GET "${json}" vars ${i} values 0)
        break()
      endif()
    endforeach()
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Plays the game in folder game headless for the given number of frames and checks that it set
# its variable ok (to 1 or true), reading the variables kivoplay dumps into work. Further
# arguments go to kivoplay before the game folder; an empty game runs kivoplay without one.
function(check_game kivoplay game work frames)
  file(MAKE_DIRECTORY ${work})
  # A player that ends without playing (another one holds the game's single-instance lock)
  # must not pass on the dump of an earlier run.
  file(REMOVE ${work}/vars.json)
  execute_process(COMMAND ${kivoplay} --headless --frames ${frames} --dump-vars ${work}/vars.json
                          ${ARGN} ${game}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kivoplay failed (${status}) on ${game}:\n${out}${err}")
  endif()
  dumped_value(${work}/vars.json ok ok)
  if(NOT (ok STREQUAL "1" OR ok STREQUAL "ON" OR ok STREQUAL "true"))
    message(FATAL_ERROR "${game} ended with ok = \"${ok}\" after ${frames} frames\n${err}")
  endif()
endfunction()

# A player with no game of its own, started without one (as an installed program is): the
# chooser, answered by input scripts, runs the game in folder game and offers it again next
# time from the list of recent games in the config folder below work; a cancelled chooser ends
# the run at once with status 0, and with nobody to answer it the start-up is the one without a
# chooser, which reports the missing installation.
function(check_game_chooser kivoplay game work)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  set(ENV{XDG_CONFIG_HOME} ${work}/config)
  file(WRITE ${work}/folder.txt "0 answer folder ${work}/not-a-game\n0 answer folder ${game}\n")
  check_game(${kivoplay} "" ${work}/folder 120 --input ${work}/folder.txt)
  file(READ ${work}/config/kivoplay/recent-games recent)
  if(NOT recent STREQUAL "${game}\n")
    message(FATAL_ERROR "the chosen game was not remembered: \"${recent}\"")
  endif()
  file(WRITE ${work}/recent.txt "0 choose 0\n")
  check_game(${kivoplay} "" ${work}/recent 120 --input ${work}/recent.txt)

  file(WRITE ${work}/cancel.txt "0 answer cancel\n")
  execute_process(COMMAND ${kivoplay} --headless --frames 5 --input ${work}/cancel.txt
                          --dump-vars ${work}/cancel.json
                  RESULT_VARIABLE status ERROR_VARIABLE err)
  string(FIND "${err}" "  0) ${game}\n  -> cancel\n" offered)
  if(NOT status EQUAL 0 OR offered EQUAL -1 OR EXISTS ${work}/cancel.json)
    message(FATAL_ERROR "a cancelled chooser gave ${status}:\n${err}")
  endif()
  execute_process(COMMAND ${kivoplay} --headless --frames 5 RESULT_VARIABLE status
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 1 OR NOT err MATCHES "-> unanswered\n.*インストールし直してください")
    message(FATAL_ERROR "an unanswered chooser gave ${status}:\n${err}")
  endif()
  unset(ENV{XDG_CONFIG_HOME})
endfunction()
