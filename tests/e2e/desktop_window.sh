#!/bin/sh
# The desktop player under a virtual X server (run inside xvfb-run): the window carries the
# project title, its client area is the scene plus the 22-pixel dock, and the screenshot of
# the window at exit shows the toolbar above the scene.
#   desktop_window.sh KIVOPLAY MAKE_GAME WORK_DIR
set -eu
player=$1 make_game=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$make_game" "$work/game"
"$player" --frames 200000 --screenshot "$work/shot.png" "$work/game" 2>"$work/err" &
pid=$!
found=""
for _ in $(seq 1 100); do
    if xwininfo -name "テストゲーム" >"$work/info" 2>/dev/null; then found=yes; break; fi
    sleep 0.1
done
[ -n "$found" ] || { kill "$pid" 2>/dev/null; fail "no window titled テストゲーム"; }
grep -q "Width: 320$" "$work/info" || { kill "$pid"; fail "client width: $(cat "$work/info")"; }
grep -q "Height: 262$" "$work/info" || { kill "$pid"; fail "client height: $(cat "$work/info")"; }
# SIGTERM asks the player to quit: it shuts down in order and writes the screenshot.
kill -TERM "$pid"
wait "$pid" || fail "player exited $? after SIGTERM: $(cat "$work/err")"
size=$(od -An -tu1 -j16 -N8 "$work/shot.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 1 6" ] || fail "screenshot is not 320 x 262: $size"
echo "desktop window ok"
