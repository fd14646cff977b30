# Plays a built game headless, takes a save state with Alt+1 at frame SAVE_AT and restores it
# with Shift+Alt+1 at frame RESTORE_AT, and checks that the game variable VARIABLE came back:
# its value right after the restore is the one it had when the state was taken, and it had
# changed in between (so that the comparison means something). The game must still set ok.
#   cmake -DKIVOPLAY=... -DGAME=<game folder> -DWORK=<folder, emptied first> -DFRAMES=N
#         -DSAVE_AT=F -DRESTORE_AT=F -DVARIABLE=<name> -P check_state_restore.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/game_steps.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/saves)
math(EXPR save_up "${SAVE_AT} + 1")
math(EXPR restore_up "${RESTORE_AT} + 1")
math(EXPR before_restore "${RESTORE_AT} - 1")
# Alt is virtual key 18, Shift 16, the digit 1 is 49. The dumps of a frame are taken after its
# step, where the state was just taken or put back.
file(WRITE ${WORK}/input.txt
  "${SAVE_AT} keydown 18\n${SAVE_AT} keydown 49\n${save_up} keyup 49\n${save_up} keyup 18\n"
  "${SAVE_AT} dump-vars ${WORK}/taken.json\n"
  "${before_restore} dump-vars ${WORK}/before.json\n"
  "${RESTORE_AT} keydown 18\n${RESTORE_AT} keydown 16\n${RESTORE_AT} keydown 49\n"
  "${restore_up} keyup 49\n${restore_up} keyup 16\n${restore_up} keyup 18\n"
  "${RESTORE_AT} dump-vars ${WORK}/restored.json\n")
check_game(${KIVOPLAY} ${GAME} ${WORK} ${FRAMES} --input ${WORK}/input.txt
           --save-dir ${WORK}/saves)
if(NOT EXISTS ${WORK}/saves/states.dat)
  message(FATAL_ERROR "no states.dat was written into ${WORK}/saves")
endif()
dumped_value(${WORK}/taken.json ${VARIABLE} taken)
dumped_value(${WORK}/before.json ${VARIABLE} before)
dumped_value(${WORK}/restored.json ${VARIABLE} restored)
if(taken STREQUAL "missing" OR taken STREQUAL before OR NOT restored STREQUAL taken)
  message(FATAL_ERROR "${VARIABLE}: ${taken} when the state was taken, ${before} before the "
                      "restore, ${restored} after it")
endif()
