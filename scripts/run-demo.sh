#!/bin/sh
# Runs the player on the demo game built into BUILD/examples/demo.
set -eu
build=${1:-build}
player="$build/src/app/kivoplay"
game="$build/examples/demo/game"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$player" "$game"
fi
echo "run-demo: no display here; running the demo under a virtual X server" >&2
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$player" "$game"
