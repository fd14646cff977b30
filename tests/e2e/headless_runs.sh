#!/bin/sh
# End-to-end runs of the headless player: a missing project fails with its message and a
# non-zero status; a game whose variables depend on the random generator, the calendar, the
# clock and the input gives the same trace, dumps, screenshots and sound when run twice with the
# same seed, date and input, and another dump when any one of them changes (and another
# screenshot when the seed or the pointer does: the game's box stands where they put it); the observations of
# the input script are taken after the frames they name.
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
printf '3 dump-vars %s\n2 dump-scene %s\n5 screenshot %s\n' "$work/mid.json" \
    "$work/mid-scene.json" "$work/mid.png" >"$work/observe.txt"
printf '0 move 11 21\n3 ldown\n4 lup\n5 keydown 13\n6 keyup 13\n' >"$work/moved.txt"
printf '0 move 10 20\n3 ldown\n9 lup\n5 keydown 13\n6 keyup 13\n' >"$work/held.txt"

# run NAME OPTIONS...: 30 frames of the game, with every output named after the run. Each run
# keeps its saves apart: the status data one run stores at its end would reach the next.
run() {
    name=$1
    shift
    "$player" --headless --frames 30 "$@" --save-dir "$work/$name.saves" --trace "$work/$name.trace" \
        --dump-vars "$work/$name.json" --screenshot "$work/$name.png" "$work/game" \
        2>"$work/$name.err" || fail "run $name exited $?: $(cat "$work/$name.err")"
}
# value NAME VARIABLE: the variable's value in the run's dump.
value() {
    sed -n "s/.*\"name\": \"$2\", \"type\": \"int\", \"dims\": \[\], \"values\": \[\(-*[0-9]*\)\].*/\1/p" \
        "$work/$1.json"
}
same() { cmp -s "$work/$1.$3" "$work/$2.$3" || fail "runs $1 and $2 differ in $3"; }
differ() {
    cmp -s "$work/$1.json" "$work/$2.json" && fail "runs $1 and $2 left the same dump"
    [ "$(value "$1" "$3")" != "$(value "$2" "$3")" ] || fail "runs $1 and $2 agree on $3"
}

# The two runs with observations write them to names of their own.
for r in a b; do
    sed "s|$work/mid|$work/$r.mid|" "$work/observe.txt" | cat "$work/input.txt" - >"$work/$r.input"
    run $r --seed 42 --input "$work/$r.input" --dump-scene "$work/$r.scene.json" \
        --audio-dump "$work/$r.wav"
done
for ext in trace json png mid.json wav; do same a b "$ext"; done
# The observation of frame 3 follows that frame's step: four frames have run.
grep -q '"frameCounter": *4,' "$work/a.mid.json" || fail "mid-run dump not after frame 3: $(cat "$work/a.mid.json")"
grep -q '"rect": \[0, 0, 320, 240\]' "$work/a.scene.json" || fail "scene dump: $(cat "$work/a.scene.json")"
grep -q '"name": "\\u0001BASE1"' "$work/a.mid-scene.json" || fail "scene dump: $(cat "$work/a.mid-scene.json")"
grep -q '"class": "TKivoBox", "name": "mark"' "$work/a.scene.json" || fail "no box in the scene dump: $(cat "$work/a.scene.json")"
# 30 frames of 16 ms at 44100 Hz, two 16-bit channels, after the 44-byte header.
[ "$(wc -c <"$work/a.wav")" -eq $((44 + 21168 * 4)) ] || fail "audio dump is $(wc -c <"$work/a.wav") bytes"
head -n 1 "$work/a.trace" | grep -qx "StartupTrace FormCreate" || fail "trace does not start with FormCreate"
tail -n 1 "$work/a.trace" | grep -qx "StartupTrace FormClose" || fail "trace does not end with FormClose"
grep -q '"frameCounter": *30' "$work/a.json" || fail "frame counter is not 30: $(cat "$work/a.json")"
grep -q '"clock": *480' "$work/a.json" || fail "clock is not 480: $(cat "$work/a.json")"
[ "$(value a count)" = 30 ] || fail "the start page did not run once a frame: $(cat "$work/a.json")"
# The calendar starts at 2000-01-01T12:00:00 and the millisecond counter is the game clock.
[ "$(value a year)" = 2000 ] && [ "$(value a hour)" = 12 ] || fail "not the default date: $(cat "$work/a.json")"
[ "$(value a ticks)" = 480 ] || fail "the millisecond counter is not the game's: $(cat "$work/a.json")"
# The pointer stood at x = 10 for the 30 frames and the button was held from frame 3 to 4.
[ "$(value a mouse)" = 300 ] && [ "$(value a pressed)" = 1 ] || fail "input not seen: $(cat "$work/a.json")"
# The screenshot is 320 x 240 (the PNG's IHDR holds width and height as big-endian words at
# bytes 16 and 20).
size=$(od -An -tu1 -j16 -N8 "$work/a.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 0 240" ] || fail "screenshot is not 320 x 240: $size"
size=$(od -An -tu1 -j16 -N8 "$work/a.mid.png" | tr -s ' ')
[ "$size" = " 0 0 1 64 0 0 0 240" ] || fail "mid-run screenshot is not 320 x 240: $size"

# Each input of the run changes what the game saw.
run seed --seed 43 --input "$work/input.txt"
differ a seed mix
# The game's box stands where the roll and the pointer put it, so the picture changes too.
cmp -s "$work/a.png" "$work/seed.png" && fail "another seed left the same screenshot"
run date --seed 42 --input "$work/input.txt" --date 2031-07-04T21:30:00
differ a date year
[ "$(value date hour)" = 21 ] || fail "--date not applied: $(cat "$work/date.json")"
run frame --seed 42 --input "$work/input.txt" --frame-ms 20
differ a frame ticks
run moved --seed 42 --input "$work/moved.txt"
differ a moved mouse
cmp -s "$work/a.png" "$work/moved.png" && fail "another pointer position left the same screenshot"
# The mid-run screenshot of frame 5 is another picture than the last one: the frames moved
# the grey box.
cmp -s "$work/a.png" "$work/a.mid.png" && fail "the mid-run screenshot equals the last one"
run held --seed 42 --input "$work/held.txt"
differ a held pressed
# Without --seed the generator starts from the calendar's time of day, fixed in headless runs.
run unseeded1 --input "$work/input.txt"
run unseeded2 --input "$work/input.txt"
same unseeded1 unseeded2 json
differ a unseeded1 mix

# The settings dialog: cancel writes nothing, ok writes the settings back rounded to the track
# bar and keeps the other lines; the game does not run.
mkdir -p "$work/config"
printf '[Game]\r\nTitle=x\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=260\r\n' >"$work/config/game.ini"
cp "$work/config/game.ini" "$work/config/before.ini"
printf '0 answer cancel\n' >"$work/cancel.txt"
"$player" --headless --input "$work/cancel.txt" /CONFIG "$work/config" 2>"$work/config.err" ||
    fail "/config cancel exited $?: $(cat "$work/config.err")"
cmp -s "$work/config/game.ini" "$work/config/before.ini" || fail "/config cancel wrote game.ini"
"$player" --headless /config "$work/config" 2>"$work/config.err" ||
    fail "/config ok exited $?: $(cat "$work/config.err")"
printf '[Game]\r\nTitle=x\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=200\r\n' >"$work/config/want.ini"
cmp -s "$work/config/game.ini" "$work/config/want.ini" || fail "/config ok wrote: $(cat "$work/config/game.ini")"
grep -q "DirectSound=0 DelayTime=200 -> ok" "$work/config.err" || fail "no dialog line: $(cat "$work/config.err")"
echo "headless runs ok"
