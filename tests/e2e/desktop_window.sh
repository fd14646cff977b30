#!/bin/sh
# The desktop player under a virtual X server (run inside xvfb-run): the window carries the
# project title, its client area is the scene plus the 22-pixel dock, the screenshot of the
# window at exit shows the toolbar above the scene, and a machine without a sound card gets
# one line about it on stderr, not the sound system's own complaints. The trace times the
# first frame on screen from the start of the program, once.
#   desktop_window.sh KIVOPLAY MAKE_GAME WORK_DIR
set -eu
player=$1 make_game=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$make_game" "$work/game"
"$player" --frames 200000 --screenshot "$work/shot.png" --trace "$work/trace" "$work/game" \
    2>"$work/err" &
pid=$!
# The window has its title before the scene size is applied to it, and a busy window system
# applies the size late: wait (20 s at most) for the state checked, not for a fixed time.
found=""
for _ in $(seq 1 200); do
    if xwininfo -name "テストゲーム" >"$work/info" 2>/dev/null &&
        grep -q "Width: 320$" "$work/info" && grep -q "Height: 262$" "$work/info"; then
        found=yes
        break
    fi
    sleep 0.1
done
[ -n "$found" ] || { kill "$pid" 2>/dev/null; fail "no 320 x 262 window titled テストゲーム: $(cat "$work/info" 2>/dev/null)"; }
# The window may take its size before the first frame is on screen: wait for that frame too.
for _ in $(seq 1 200); do
    grep -q "^FirstPresent" "$work/trace" 2>/dev/null && break
    sleep 0.1
done
# SIGTERM asks the player to quit: it shuts down in order and writes the screenshot.
kill -TERM "$pid"
wait "$pid" || fail "player exited $? after SIGTERM: $(cat "$work/err")"
size=$(od -An -tu1 -j16 -N8 "$work/shot.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 1 6" ] || fail "screenshot is not 320 x 262: $size"
! grep -q "^ALSA lib" "$work/err" || fail "the sound system spoke on the terminal: $(cat "$work/err")"
[ "$(grep -c "sound device" "$work/err")" -le 1 ] || fail "more than one line about sound: $(cat "$work/err")"
[ "$(grep -c "^FirstPresent [0-9][0-9]* ms$" "$work/trace")" -eq 1 ] ||
    fail "the first frame is not timed once: $(grep -v "^Trace\|^Startup" "$work/trace" | head)"
awk '/^StartupTrace KivoInitColor$/ { started = 1 } /^FirstPresent/ { exit !started }' \
    "$work/trace" || fail "the first frame was timed before start-up ended"
echo "desktop window ok"
