#!/bin/sh
# Runs every benchmark program of BUILD/bench, each with its reference in the same run.
set -eu
build=${1:-build}
for program in "$build"/bench/bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_counters_tabular=true
done
