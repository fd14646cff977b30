# `make package`: a Debian package of what the install rules put in place, built by CPack from
# the build folder. The shared libraries the programs link are turned into dependencies by
# dpkg-shlibdeps, so they are the run-time packages of the libraries the build found (never the
# -dev packages the build itself needs); what the player only opens at run time is listed here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivoplay)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Whoever builds a package for others to install puts their own address here.
set(KIVO_PACKAGE_MAINTAINER "kivoplay developers <kivoplay@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${KIVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "player for visual novels made with a Japanese authoring editor")
# The long description below the summary; CPack indents it and marks the blank line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kivoplay runs visual novels and multimedia games made with a Japanese
authoring editor for Windows, from the game folder as it was shipped:
its project file, its archives or its Windows program. It draws the
scene in software, plays sound, MIDI and video, and keeps saved games.

The package also holds the tools that keep such games alive:
kivo-pack for archives, kivo-gal for GAL images and kivo-script for
scenario pages, and a small demo game.")
# Not "games": the programs are a player and tools, installed in /usr/bin like other players.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The General MIDI soundfont of the MIDI mapper; the Japanese faces the games ask for and the
# opener of web links are wanted but not needed to run.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
