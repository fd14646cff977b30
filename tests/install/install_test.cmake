# Installs the build into a fresh prefix and runs every installed program from there: --help
# and --version, the demo game headless, and the manual pages held to each program's --help
# (every option and command the help names is in the page, every long option the page names
# is in the help). The desktop entry must start an installed program with an installed icon.
# Installed on its own, the player started without a game asks for one and remembers it.
#   cmake -DBUILD=<build folder> -DWORK=<folder> -DVERSION=<x.y.z> -DDEMO=<0|1> -P install_test.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../scripts/game_steps.cmake)

set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}${err}")
endif()

function(require_file path)
  if(NOT EXISTS ${prefix}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endfunction()

# The words of a manual page as they read: font changes dropped, escaped minus signs plain.
function(read_manual_page path out)
  execute_process(COMMAND gzip -dc ${path} RESULT_VARIABLE status OUTPUT_VARIABLE page)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${path} is not a compressed manual page")
  endif()
  string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
  string(REPLACE "\\-" "-" page "${page}")
  string(REPLACE "\\&" "" page "${page}")
  set(${out} "${page}" PARENT_SCOPE)
endfunction()

# Options (-o, --code) and command words (the word after the program's name on a usage line,
# or the first word of an indented or unindented list line) of a --help text.
function(help_words program help out)
  set(words)
  # A bracket in a list item keeps CMake from splitting the list there: blank them first.
  string(REGEX REPLACE "[][|]" " " flat "${help}")
  string(REGEX MATCHALL "(^|[ \n])--?[a-z][a-z0-9-]*" options "${flat}")
  foreach(option IN LISTS options)
    string(STRIP "${option}" option)
    list(APPEND words ${option})
  endforeach()
  string(REPLACE "\n" ";" lines "${help}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^(usage: +|  +)?${program} ([a-z][a-z-]*)")
      list(APPEND words ${CMAKE_MATCH_2})
    elseif(line MATCHES "^ ? ?([a-z][a-z-]*)  +[A-Za-z]")
      list(APPEND words ${CMAKE_MATCH_1})
    elseif(line MATCHES "^  ([a-z][a-z-]*) +[-A-Z]")
      list(APPEND words ${CMAKE_MATCH_1})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES words)
  set(${out} ${words} PARENT_SCOPE)
endfunction()

function(check_manual_page program help)
  set(path ${prefix}/share/man/man1/${program}.1.gz)
  require_file(share/man/man1/${program}.1.gz)
  read_manual_page(${path} page)
  help_words(${program} "${help}" words)
  list(LENGTH words count)
  if(count LESS 3)
    message(FATAL_ERROR "${program} --help names only \"${words}\": the help has changed shape")
  endif()
  foreach(word IN LISTS words)
    string(REGEX REPLACE "([.+*?^$()\\[\\]|])" "\\\\\\1" pattern "${word}")
    if(NOT page MATCHES "(^|[^a-z0-9-])${pattern}($|[^a-z0-9-])")
      message(FATAL_ERROR "the manual page of ${program} lacks \"${word}\", which --help names")
    endif()
  endforeach()
  string(REGEX MATCHALL "--[a-z][a-z0-9-]*" page_options "${page}")
  list(REMOVE_DUPLICATES page_options)
  foreach(option IN LISTS page_options)
    if(NOT help MATCHES "(^|[^a-z0-9-])${option}($|[^a-z0-9-])")
      message(FATAL_ERROR "the manual page of ${program} names ${option}, which --help does not")
    endif()
  endforeach()
endfunction()

foreach(program kivoplay kivo-pack kivo-gal kivo-script)
  set(binary ${prefix}/bin/${program})
  require_file(bin/${program})
  execute_process(COMMAND ${binary} --help RESULT_VARIABLE status OUTPUT_VARIABLE help
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT help MATCHES "^usage: ")
    message(FATAL_ERROR "${program} --help gave ${status}:\n${help}${err}")
  endif()
  execute_process(COMMAND ${binary} --version RESULT_VARIABLE status OUTPUT_VARIABLE version
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT version STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "${program} --version gave ${status}: \"${version}\"${err}")
  endif()
  check_manual_page(${program} "${help}")
endforeach()

foreach(doc README.md kivoplay.md kivo-pack.md kivo-gal.md kivo-script.md fonts.md formats.md
        copyright changelog.gz)
  require_file(share/doc/kivoplay/${doc})
endforeach()

require_file(share/applications/kivoplay.desktop)
# The modules the player opens on first use, where it looks for them from bin/.
file(GLOB_RECURSE modules RELATIVE ${prefix} ${prefix}/kivo_*.so)
if(NOT modules MATCHES "lib/([a-z0-9_-]+/)?kivoplay/kivo_av\\.so"
   OR NOT modules MATCHES "lib/([a-z0-9_-]+/)?kivoplay/kivo_fluid\\.so"
   OR NOT modules MATCHES "lib/([a-z0-9_-]+/)?kivoplay/kivo_gtk\\.so"
   OR NOT modules MATCHES "lib/([a-z0-9_-]+/)?kivoplay/kivo_resample\\.so")
  message(FATAL_ERROR "modules not installed in lib/kivoplay: ${modules}")
endif()
file(STRINGS ${prefix}/share/applications/kivoplay.desktop entry)
set(exec "")
set(icon "")
foreach(line IN LISTS entry)
  if(line MATCHES "^Exec=([^ ]+)")
    set(exec ${CMAKE_MATCH_1})
  elseif(line MATCHES "^Icon=(.+)$")
    set(icon ${CMAKE_MATCH_1})
  endif()
endforeach()
require_file(bin/${exec})
require_file(share/icons/hicolor/scalable/apps/${icon}.svg)
find_program(validate desktop-file-validate)
if(validate)
  execute_process(COMMAND ${validate} ${prefix}/share/applications/kivoplay.desktop
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the desktop entry is not valid:\n${out}${err}")
  endif()
endif()

if(DEMO)
  check_game(${prefix}/bin/kivoplay ${prefix}/share/kivoplay/demo ${WORK}/demo 120)
  check_game_chooser(${prefix}/bin/kivoplay ${prefix}/share/kivoplay/demo ${WORK}/chooser)
endif()
