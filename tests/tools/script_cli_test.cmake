# kivo-script from the command line: building, reading back, errors that write nothing, and a
# translator's edit of a string.
#   cmake -DKIVO_SCRIPT=... -DWORK=<folder> -P script_cli_test.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_run expected)
  execute_process(COMMAND ${KIVO_SCRIPT} ${ARGN} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "kivo-script ${ARGN}: exit ${status}, expected ${expected}\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

expect_run(0 --help)
if(NOT out MATCHES "kivo-script asm")
  message(FATAL_ERROR "--help shows no usage")
endif()

# A page built from text reads back to the same text.
file(WRITE ${WORK}/main.kss
  "version 104\nresult PT_INT\nLabel \"start\"  # 0\nVarNew \"s\" type=PT_STR\n"
  "Calc {s = \"hello\"}\nJump \"main.ksb\" target=<start>\n")
expect_run(0 asm ${WORK}/main.kss -o ${WORK}/main.ksb)
expect_run(0 disasm ${WORK}/main.ksb -o ${WORK}/again.kss)
file(READ ${WORK}/main.kss original)
file(READ ${WORK}/again.kss again)
if(NOT original STREQUAL again)
  message(FATAL_ERROR "the text did not come back:\n${again}")
endif()

# A translator changes the string to Japanese: the page holds its code page 932 bytes.
string(REPLACE "hello" "こんにちは" translated "${again}")
file(WRITE ${WORK}/translated.kss "${translated}")
expect_run(0 asm ${WORK}/translated.kss -o ${WORK}/translated.ksb)
file(READ ${WORK}/translated.ksb bytes HEX)
if(NOT bytes MATCHES "0a00000082b182f182c982bf82cd")
  message(FATAL_ERROR "the page does not hold the CP932 text: ${bytes}")
endif()

# Errors name the file, line and column, and leave the target as it was.
file(WRITE ${WORK}/bad.kss "Calc {x = 1}\nFrobnicate\n")
file(WRITE ${WORK}/kept.ksb "old")
expect_run(1 asm ${WORK}/bad.kss -o ${WORK}/kept.ksb)
if(NOT err MATCHES "bad.kss: line 2, column 1: unknown command")
  message(FATAL_ERROR "unclear error: ${err}")
endif()
file(READ ${WORK}/kept.ksb kept)
expect_run(1 asm ${WORK}/bad.kss -o ${WORK}/new.ksb)
file(GLOB leftovers ${WORK}/new.ksb ${WORK}/*.tmp ${WORK}/.*)
if(NOT kept STREQUAL "old" OR leftovers)
  message(FATAL_ERROR "a failed build wrote files: ${leftovers}")
endif()

# check reports every bad file and fails when any is bad.
expect_run(1 check ${WORK}/main.kss ${WORK}/bad.kss ${WORK}/main.ksb)
if(NOT err MATCHES "bad.kss: line 2" OR err MATCHES "main.k")
  message(FATAL_ERROR "check reported: ${err}")
endif()

# Pages inside an archive are read as ARCHIVE:NAME.
if(KIVO_PACK)
  file(MAKE_DIRECTORY ${WORK}/packed/scene)
  file(COPY ${WORK}/main.ksb DESTINATION ${WORK}/packed/scene)
  execute_process(COMMAND ${KIVO_PACK} create -o ${WORK}/game.dat ${WORK}/packed
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kivo-pack failed")
  endif()
  expect_run(0 disasm ${WORK}/game.dat:scene/main.ksb)
  if(NOT out STREQUAL original)
    message(FATAL_ERROR "the archived page did not read back:\n${out}")
  endif()
  expect_run(1 disasm ${WORK}/game.dat:scene/none.ksb)
  if(NOT err MATCHES "no such entry")
    message(FATAL_ERROR "unclear error: ${err}")
  endif()
endif()
