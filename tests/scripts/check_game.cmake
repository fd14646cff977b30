# Plays a built game headless and checks that it set its variable ok (and the variable named by
# EXPECT, when given, to 1).
#   cmake -DKIVOPLAY=... -DGAME=<game folder> -DWORK=<folder> -DFRAMES=N
#         [-DINPUT=<input script>] [-DSAVE_DIR=<folder, emptied first>] [-DEXPECT=<variable>]
#         -P check_game.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/game_steps.cmake)
set(options)
if(DEFINED INPUT)
  list(APPEND options --input ${INPUT})
endif()
if(DEFINED SAVE_DIR)
  file(REMOVE_RECURSE ${SAVE_DIR})
  file(MAKE_DIRECTORY ${SAVE_DIR})
  list(APPEND options --save-dir ${SAVE_DIR})
endif()
check_game(${KIVOPLAY} ${GAME} ${WORK} ${FRAMES} ${options})
if(DEFINED EXPECT)
  dumped_value(${WORK}/vars.json ${EXPECT} value)
  if(NOT value STREQUAL "1")
    message(FATAL_ERROR "${GAME} ended with ${EXPECT} = \"${value}\" after ${FRAMES} frames")
  endif()
endif()
