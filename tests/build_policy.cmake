# A packager's Release build keeps warnings as warnings; the build types developers and CI use
# make them errors.
#   cmake -DSRC=<source folder> -DWORK=<scratch folder> -P build_policy.cmake
file(REMOVE_RECURSE ${WORK})
foreach(case IN ITEMS "Release:OFF" "RelWithDebInfo:ON")
  string(REPLACE ":" ";" parts ${case})
  list(GET parts 0 type)
  list(GET parts 1 expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SRC} -B ${WORK}/${type} -G Ninja -DCMAKE_BUILD_TYPE=${type}
            -DKIVO_BENCH=OFF -DKIVO_DESKTOP=OFF
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring a ${type} build failed:\n${errors}")
  endif()
  file(STRINGS ${WORK}/${type}/CMakeCache.txt werror REGEX "^KIVO_WERROR:")
  if(NOT werror STREQUAL "KIVO_WERROR:BOOL=${expected}")
    message(FATAL_ERROR "${type}: ${werror}, expected ${expected}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
message(STATUS "warnings are errors where they should be")
