#!/bin/sh
# Times the desktop player's start on the demo game under a virtual X server: from the moment
# the program is started to the moment its first frame has gone to the screen, and its peak
# resident memory. The player writes "FirstPresent N ms" (milliseconds since its main function
# began) to its trace right after the first present; the trace is a pipe read here, so the
# line's arrival also gives the time from the start of the process, dynamic loading included.
# Each run is one frame long; the best of RUNS is what a quiet machine gives.
#
#   sh scripts/measure-launch.sh [BUILD] [RUNS]        (prints one line per run, then the best)
set -eu
build=${1:-build}
runs=${2:-10}
player=$(cd "$build/src/app" && pwd)/kivoplay
game=$(cd "$build/examples/demo/game" && pwd)
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT

display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The server is ready when a client can talk to it.
tries=0
until DISPLAY=$display xdpyinfo >/dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "measure-launch: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done

now_ns() { date +%s%N; }
best_outside=""
best_inside=""
i=0
while [ "$i" -lt "$runs" ]; do
  i=$((i + 1))
  rm -f "$work/trace"
  mkfifo "$work/trace"
  start=$(now_ns)
  DISPLAY=$display /usr/bin/time -f %M -o "$work/rss" \
    "$player" --frames 1 --trace "$work/trace" "$game" >/dev/null 2>"$work/err" &
  pid=$!
  outside="" inside=""
  while IFS= read -r line; do
    case $line in
      "FirstPresent "*)
        outside=$((($(now_ns) - start) / 1000000))
        inside=${line#FirstPresent }
        inside=${inside% ms}
        ;;
    esac
  done <"$work/trace"
  wait "$pid" || { echo "measure-launch: the player failed: $(cat "$work/err")" >&2; exit 1; }
  [ -n "$outside" ] || { echo "measure-launch: no frame was presented" >&2; exit 1; }
  echo "run $i: first frame ${outside} ms after launch (${inside} ms after main), peak $(($(cat "$work/rss") / 1024)) MB resident"
  if [ -z "$best_outside" ] || [ "$outside" -lt "$best_outside" ]; then
    best_outside=$outside best_inside=$inside best_rss=$(cat "$work/rss")
  fi
done
echo "best of $runs: first frame ${best_outside} ms after launch (${best_inside} ms after main), peak $((best_rss / 1024)) MB resident; load $(cut -d' ' -f1-3 /proc/loadavg)"
