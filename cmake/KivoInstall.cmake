# What `cmake --install` (and `make install PREFIX=...`) puts where: the four programs in bin/,
# the documents with the copyright and change log in share/doc/kivoplay/, the manual pages,
# the desktop entry and its icon, and the demo game in share/kivoplay/demo/. `make package`
# wraps the same files in a Debian package (cmake/KivoPackage.cmake). The installed programs need nothing from the build or
# source folders: the code page tables are compiled in, fonts come through fontconfig and the
# soundfont from the system's sf2 folder.

include(GNUInstallDirs)

# Manual pages and the change log are installed compressed, as man and Debian expect them;
# gzip -n leaves the time and name out, so the same sources give the same bytes.
find_program(KIVO_GZIP gzip REQUIRED)
function(kivo_gzip_file source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${KIVO_GZIP} -9 -n -c ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()

set(kivo_compressed_docs ${PROJECT_BINARY_DIR}/share/changelog.gz)
kivo_gzip_file(${PROJECT_SOURCE_DIR}/data/changelog ${PROJECT_BINARY_DIR}/share/changelog.gz)
foreach(program kivoplay kivo-pack kivo-gal kivo-script)
  if(TARGET ${program})
    set(page ${PROJECT_BINARY_DIR}/share/man1/${program}.1.gz)
    kivo_gzip_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${page})
    list(APPEND kivo_compressed_docs ${page})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/share/man1)
add_custom_target(kivo_compressed_docs ALL DEPENDS ${kivo_compressed_docs})

file(GLOB kivo_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${kivo_docs} ${PROJECT_SOURCE_DIR}/data/copyright
              ${PROJECT_BINARY_DIR}/share/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(TARGET kivoplay)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kivoplay.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kivoplay.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

if(TARGET demo_game)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/examples/demo/game/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kivoplay/demo)
endif()
