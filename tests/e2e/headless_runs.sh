#!/bin/sh
# End-to-end runs of the headless player: a missing project fails with its message and a
# non-zero status; a real game run twice with the same seed, input and frame count leaves the
# same trace, dump and screenshot.
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
printf '0 move 10 20\n3 ldown\n4 lup\n5 keydown 13\n6 keyup 13\n' >"$work/input.txt"
for run in a b; do
    "$player" --headless --seed 42 --frames 30 --input "$work/input.txt" --trace "$work/$run.trace" \
        --dump-vars "$work/$run.json" --screenshot "$work/$run.png" "$work/game" 2>"$work/$run.err" \
        || fail "run $run exited $?: $(cat "$work/$run.err")"
done
for ext in trace json png; do
    cmp -s "$work/a.$ext" "$work/b.$ext" || fail "runs differ in $ext"
done
head -n 1 "$work/a.trace" | grep -qx "StartupTrace FormCreate" || fail "trace does not start with FormCreate"
tail -n 1 "$work/a.trace" | grep -qx "StartupTrace FormClose" || fail "trace does not end with FormClose"
grep -q '"frameCounter": *30' "$work/a.json" || fail "frame counter is not 30: $(cat "$work/a.json")"
grep -q '"clock": *480' "$work/a.json" || fail "clock is not 480: $(cat "$work/a.json")"
grep -q "\"name\": \"count\", \"type\": \"int\", \"dims\": \[\], \"values\": \[[2-9]\]" "$work/a.json" || fail "the start page did not keep running: $(cat "$work/a.json")"
# The PNG's IHDR holds width and height as big-endian words at bytes 16 and 20.
size=$(od -An -tu1 -j16 -N8 "$work/a.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 0 240" ] || fail "screenshot is not 320 x 240: $size"
echo "headless runs ok"
