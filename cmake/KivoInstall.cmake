# What `cmake --install` (and `make install PREFIX=...`) puts where: the four programs in bin/,
# the documents in share/doc/kivoplay/, the manual pages, the desktop entry and its icon, and
# the demo game in share/kivoplay/demo/. The installed programs need nothing from the build or
# source folders: the code page tables are compiled in, fonts come through fontconfig and the
# soundfont from the system's sf2 folder.

include(GNUInstallDirs)

foreach(program kivoplay kivo-pack kivo-gal kivo-script)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${program}.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

file(GLOB kivo_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${kivo_docs} DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
