# Builds the Debian package from the build folder and checks it as a user's machine would see
# it: its fields (dependencies worked out from the linked libraries, all of them packages this
# Debian knows, none a -dev package), its files (the install rules' programs, manual pages,
# documents with copyright and change log, desktop entry, icon and demo, and nothing outside
# /usr), the programs and the demo run from the unpacked files, and lintian's verdict.
#   cmake -DBUILD=<build folder> -DWORK=<folder> -DVERSION=<x.y.z> -P package_test.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../scripts/game_steps.cmake)

file(REMOVE_RECURSE ${WORK})
run(cpack --config ${BUILD}/CPackConfig.cmake -B ${WORK}/out)
file(GLOB packages ${WORK}/out/kivoplay_${VERSION}_*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one kivoplay_${VERSION}_*.deb, found \"${packages}\"")
endif()

function(package_field name out)
  execute_process(COMMAND dpkg-deb --field ${packages} ${name} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

package_field(Package name)
package_field(Version version)
package_field(Section section)
package_field(Depends depends)
if(NOT name STREQUAL "kivoplay" OR NOT version STREQUAL "${VERSION}" OR NOT section STREQUAL "misc")
  message(FATAL_ERROR "package fields: ${name} ${version} ${section}")
endif()
# The libraries the player opens through the linker, and the soundfont it opens by name.
foreach(needed libsdl2-2.0-0 libgtk-3-0 libfreetype6 libfontconfig1 libpng16-16 libjpeg62-turbo
        libvorbisfile3 libavcodec59 libfluidsynth3 zlib1g timgm6mb-soundfont)
  if(NOT depends MATCHES "(^|, )${needed}( |,|$)")
    message(FATAL_ERROR "Depends lacks ${needed}: ${depends}")
  endif()
endforeach()
string(REPLACE ", " ";" dependencies "${depends}")
foreach(dependency IN LISTS dependencies)
  string(REGEX MATCH "^[a-z0-9][a-z0-9.+-]*" package "${dependency}")
  if(package MATCHES "-dev$")
    message(FATAL_ERROR "Depends names a development package: ${dependency}")
  endif()
  execute_process(COMMAND dpkg-query -W ${package} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Depends names ${package}, which this system does not have")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb --contents ${packages} OUTPUT_VARIABLE contents)
foreach(path usr/bin/kivoplay usr/bin/kivo-pack usr/bin/kivo-gal usr/bin/kivo-script
        usr/share/man/man1/kivoplay.1.gz usr/share/man/man1/kivo-script.1.gz
        usr/share/doc/kivoplay/copyright usr/share/doc/kivoplay/changelog.gz
        usr/share/doc/kivoplay/kivoplay.md usr/share/applications/kivoplay.desktop
        usr/share/icons/hicolor/scalable/apps/kivoplay.svg usr/share/kivoplay/demo/game.dat)
  if(NOT contents MATCHES " \\./${path}\n")
    message(FATAL_ERROR "the package lacks /${path}:\n${contents}")
  endif()
endforeach()
# The modules the player opens on first use, in its private library folder.
foreach(module kivo_av.so kivo_fluid.so kivo_gtk.so kivo_resample.so)
  if(NOT contents MATCHES " \\./usr/lib/([a-z0-9_-]+/)?kivoplay/${module}\n")
    message(FATAL_ERROR "the package lacks the module ${module}:\n${contents}")
  endif()
endforeach()
string(REGEX MATCHALL " \\./[^\n]*" paths "${contents}")
foreach(path IN LISTS paths)
  if(NOT path MATCHES "^ \\./(usr/.*)?$")
    message(FATAL_ERROR "the package puts something outside /usr: ${path}")
  endif()
endforeach()

# The unpacked programs run on their own, and the installed player runs the installed demo.
run(dpkg-deb --extract ${packages} ${WORK}/root)
foreach(program kivoplay kivo-pack kivo-gal kivo-script)
  execute_process(COMMAND ${WORK}/root/usr/bin/${program} --version OUTPUT_VARIABLE out
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "the packaged ${program} --version gave ${status}: ${out}")
  endif()
endforeach()
check_game(${WORK}/root/usr/bin/kivoplay ${WORK}/root/usr/share/kivoplay/demo ${WORK}/demo 120)

find_program(lintian lintian REQUIRED)
execute_process(COMMAND ${lintian} --fail-on error,warning ${packages}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lintian finds fault with the package (${status}):\n${out}${err}")
endif()
