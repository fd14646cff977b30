#!/bin/sh
# Installs every Debian package the build, the tests, the benchmarks and the demo need.
# Safe to run again: it asks apt only for what is missing and updates the lists once.
set -eu

PACKAGES="
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libjpeg-dev libpixman-1-dev
  libsdl2-dev libgtk-3-dev libfreetype-dev libfontconfig-dev
  libvorbis-dev libavformat-dev libavcodec-dev libswresample-dev libswscale-dev libavutil-dev
  libfluidsynth-dev timgm6mb-soundfont libasound2-dev libcurl4-openssl-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core
  xvfb xauth x11-apps x11-utils desktop-file-utils lintian
"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
echo "setup: installing$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
