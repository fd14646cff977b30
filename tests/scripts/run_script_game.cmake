# Runs one script-level test game: assembles its pages (and its project file, or a plain one
# that starts main.ksb) with kivo-script, plays it headless for a number of frames and checks
# that the game set its variable ok.
#
#   cmake -DKIVO_SCRIPT=... -DKIVOPLAY=... -DGAME=<file.kss or folder> -DWORK=<folder>
#         -P run_script_game.cmake
#
# A game may ask for more frames than the default with a line "# frames: N" in main.kss.

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/game_steps.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/game)

if(IS_DIRECTORY ${GAME})
  file(GLOB pages ${GAME}/*.kss)
  set(main ${GAME}/main.kss)
  set(project ${GAME}/kivo.kps)
else()
  set(pages ${GAME})
  set(main ${GAME})
  set(project "")
endif()

if(NOT EXISTS "${project}")
  set(project ${WORK}/kivo.kps)
  file(WRITE ${project} "version 110\ntitle \"script test\"\nscreen 640 480\nfullscreen 640 480\n"
                        "start \"main.ksb\"\nvar PT_INT \"ok\" 0\n")
endif()

run(${KIVO_SCRIPT} asm ${project} -o ${WORK}/game/kivo.kpb)
foreach(page IN LISTS pages)
  get_filename_component(name ${page} NAME_WE)
  if(page STREQUAL main)
    set(name main)
  endif()
  run(${KIVO_SCRIPT} asm ${page} -o ${WORK}/game/${name}.ksb)
endforeach()

set(FRAMES 600)
file(STRINGS ${main} frameLines REGEX "^# frames: [0-9]+")
if(frameLines)
  string(REGEX REPLACE "^# frames: ([0-9]+).*" "\\1" FRAMES "${frameLines}")
endif()
check_game(${KIVOPLAY} ${WORK}/game ${WORK} ${FRAMES})
