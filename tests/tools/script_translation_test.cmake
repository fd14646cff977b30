# A translator's edit: a string literal in a Calc of a disassembled page is changed to
# Japanese, the page is reassembled and played headless, and the variable then holds the code
# page 932 bytes, compared with a literal given byte by byte.
#   cmake -DKIVO_SCRIPT=... -DKIVOPLAY=... -DWORK=<folder> -P script_translation_test.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../scripts/game_steps.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/game)
file(WRITE ${WORK}/kivo.kps "version 110\nstart \"main.ksb\"\nscreen 640 480\nvar PT_INT \"ok\" 0\n")
file(WRITE ${WORK}/original.kss
  "version 110\nVarNew \"s\" type=PT_STR .continue\nCalc {s = \"hello\"} .continue\n"
  "If [ocEqual ____0 = s, \"\\x82\\xB1\\x82\\xF1\\x82\\xC9\\x82\\xBF\\x82\\xCD\"; ocTo ____arg = ____0]"
  " .continue\n    Calc {ok = 1} .continue\n")

run(${KIVO_SCRIPT} asm ${WORK}/kivo.kps -o ${WORK}/game/kivo.kpb)
run(${KIVO_SCRIPT} asm ${WORK}/original.kss -o ${WORK}/original.ksb)
run(${KIVO_SCRIPT} disasm ${WORK}/original.ksb -o ${WORK}/disassembled.kss)
file(READ ${WORK}/disassembled.kss text)
string(REPLACE "\"hello\"" "\"こんにちは\"" text "${text}")
file(WRITE ${WORK}/translated.kss "${text}")
run(${KIVO_SCRIPT} asm ${WORK}/translated.kss -o ${WORK}/game/main.ksb)

check_game(${KIVOPLAY} ${WORK}/game ${WORK} 10)
