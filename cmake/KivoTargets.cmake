# Shared compile settings and the helpers that turn a folder into a library or a test program.

set(KIVO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wswitch-enum -Wimplicit-fallthrough -Wmissing-declarations)
if(KIVO_WERROR)
  list(APPEND KIVO_WARNINGS -Werror)
endif()

if(KIVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KIVO_FUZZ)
  # Undefined behaviour must stop the run, or the fuzzer would note it and go on without
  # keeping the input.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Applies the project's warning set to a target we own (never to third-party code).
function(kivo_warnings target)
  target_compile_options(${target} PRIVATE ${KIVO_WARNINGS})
endfunction()

# kivo_library(NAME [DIRS dir...] [FILES f...] [DEPS d...])
# A static library made of every .cpp directly in each of DIRS, plus FILES.
function(kivo_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;FILES;DEPS" ${ARGN})
  set(sources ${ARG_FILES})
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(NOT sources)
    # A subsystem whose sources have not been written yet still links as a dependency.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  kivo_warnings(${name})
endfunction()

# kivo_test(NAME DIR dir DEPS d...): one GoogleTest program of every .cpp in DIR, run by ctest.
function(kivo_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  kivo_warnings(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "KIVO_TEST_OUTPUT=${PROJECT_BINARY_DIR}/test-output;KIVO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# kivo_module(NAME [FILES f...] [DEPS d...]): a module the player opens with dlopen on first
# use, named NAME.so. It is linked with every symbol resolved, so a missing one shows at build
# time, and installed in the program's private library folder.
function(kivo_module name)
  cmake_parse_arguments(ARG "" "" "FILES;DEPS" ${ARGN})
  add_library(${name} MODULE ${ARG_FILES})
  set_target_properties(${name} PROPERTIES PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/modules)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  # Sanitizer runtimes are linked into the program only (clang's) and would count as missing.
  if(NOT KIVO_SANITIZE AND NOT KIVO_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  kivo_warnings(${name})
  install(TARGETS ${name} LIBRARY DESTINATION ${KIVO_MODULE_INSTALL_DIR})
endfunction()

# kivo_next_to_program(PROGRAM MODULE...): the program finds its modules in its own folder in
# the build tree, so each one is copied there after the program is linked.
function(kivo_next_to_program program)
  foreach(module IN LISTS ARGN)
    if(TARGET ${module})
      add_dependencies(${program} ${module})
      add_custom_command(TARGET ${program} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${module}>
                $<TARGET_FILE_DIR:${program}>
        VERBATIM)
    endif()
  endforeach()
endfunction()
