# Checks the include rules of the layers: only src/platform and src/media/backend include the
# outside packages' headers, and nothing below the program (src/app) includes a concrete
# platform, so that the shell and everything under it run the same on every platform.
#   cmake -DSRC=<source folder> -P layering_check.cmake
file(GLOB_RECURSE sources RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
set(package_headers "<(SDL|gtk/|gdk/|glib|ft2build|freetype/|fontconfig/|libav|libsw|fluidsynth|alsa/|curl/|vorbis/)")
set(concrete_platforms "\"platform/(headless|desktop|fonts)/")
set(failures "")
foreach(source IN LISTS sources)
  file(STRINGS ${SRC}/${source} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(NOT source MATCHES "^(platform|media/backend)/" AND line MATCHES "${package_headers}")
      string(APPEND failures "  ${source}: ${line} (outside packages belong to the platform)\n")
    endif()
    if(NOT source MATCHES "^(platform|app)/" AND line MATCHES "${concrete_platforms}")
      string(APPEND failures "  ${source}: ${line} (a concrete platform below the program)\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "layer rules broken:\n${failures}")
endif()
list(LENGTH sources count)
message(STATUS "layer rules hold in ${count} files")
