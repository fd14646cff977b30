# Plays a built game headless and checks that it set its variable ok.
#   cmake -DKIVOPLAY=... -DGAME=<game folder> -DWORK=<folder> -DFRAMES=N -P check_game.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/game_steps.cmake)
check_game(${KIVOPLAY} ${GAME} ${WORK} ${FRAMES})
