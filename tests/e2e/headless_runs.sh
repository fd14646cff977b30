#!/bin/sh
# End-to-end runs of the headless player: a missing project fails with its message and a
# non-zero status; a real game run twice with the same seed, input and frame count leaves the
# same trace, dumps, screenshots and sound, and the observations of the input script are taken
# after the frames they name.
#   headless_runs.sh KIVOPLAY MAKE_GAME WORK_DIR
set -eu
player=$1 make_game=$2 work=$3
rm -rf "$work"
mkdir -p "$work/empty"

fail() { echo "FAIL: $*" >&2; exit 1; }

# A folder without kivo.kpb.
if "$player" --headless "$work/empty" 2>"$work/missing.err"; then fail "missing project exited 0"; fi
grep -q "プロジェクトがありません" "$work/missing.err" || fail "no message: $(cat "$work/missing.err")"

"$make_game" "$work/game"
for run in a b; do
    printf '0 move 10 20\n3 ldown\n4 lup\n5 keydown 13\n6 keyup 13\n' >"$work/$run.input"
    printf '3 dump-vars %s\n2 dump-scene %s\n5 screenshot %s\n' "$work/$run.mid.json" \
        "$work/$run.mid-scene.json" "$work/$run.mid.png" >>"$work/$run.input"
    "$player" --headless --seed 42 --frames 30 --input "$work/$run.input" --trace "$work/$run.trace" \
        --dump-vars "$work/$run.json" --dump-scene "$work/$run.scene.json" \
        --screenshot "$work/$run.png" --audio-dump "$work/$run.wav" "$work/game" 2>"$work/$run.err" \
        || fail "run $run exited $?: $(cat "$work/$run.err")"
done
for ext in trace json png mid.json; do
    cmp -s "$work/a.$ext" "$work/b.$ext" || fail "runs differ in $ext"
done
# The observation of frame 3 follows that frame's step: four frames have run.
grep -q '"frameCounter": *4,' "$work/a.mid.json" || fail "mid-run dump not after frame 3: $(cat "$work/a.mid.json")"
grep -q '"rect": \[0, 0, 320, 240\]' "$work/a.scene.json" || fail "scene dump: $(cat "$work/a.scene.json")"
grep -q '"name": "\\u0001BASE1"' "$work/a.mid-scene.json" || fail "scene dump: $(cat "$work/a.mid-scene.json")"
# 30 frames of 16 ms at 44100 Hz, two 16-bit channels, after the 44-byte header.
[ "$(wc -c <"$work/a.wav")" -eq $((44 + 21168 * 4)) ] || fail "audio dump is $(wc -c <"$work/a.wav") bytes"
head -n 1 "$work/a.trace" | grep -qx "StartupTrace FormCreate" || fail "trace does not start with FormCreate"
tail -n 1 "$work/a.trace" | grep -qx "StartupTrace FormClose" || fail "trace does not end with FormClose"
grep -q '"frameCounter": *30' "$work/a.json" || fail "frame counter is not 30: $(cat "$work/a.json")"
grep -q '"clock": *480' "$work/a.json" || fail "clock is not 480: $(cat "$work/a.json")"
grep -q "\"name\": \"count\", \"type\": \"int\", \"dims\": \[\], \"values\": \[[2-9]\]" "$work/a.json" || fail "the start page did not keep running: $(cat "$work/a.json")"
# The PNG's IHDR holds width and height as big-endian words at bytes 16 and 20.
size=$(od -An -tu1 -j16 -N8 "$work/a.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 0 240" ] || fail "screenshot is not 320 x 240: $size"
size=$(od -An -tu1 -j16 -N8 "$work/a.mid.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 0 240" ] || fail "mid-run screenshot is not 320 x 240: $size"
echo "headless runs ok"
