#!/bin/sh
# Runs every libFuzzer target of a fuzz build for MINUTES minutes, PARALLEL targets at a time,
# each from its generated seed corpus and with its dictionary, then prints a table of runs,
# coverage, corpus size and crashes.
#
#   sh scripts/fuzz-run.sh BUILD_FOLDER        (make fuzz-run MINUTES=10 PARALLEL=2)
#
# TARGETS="fuzz_gal fuzz_bmp" runs only those.
# Below the build folder:
#   fuzz-seeds/TARGET/    the seeds, written again by kivo_make_corpus on every run
#   fuzz-corpus/TARGET/   what the fuzzer found worth keeping; grows from run to run
#   fuzz-run/TARGET/      this run's log and the inputs that crashed, leaked, hung or ran out
#                         of memory (emptied at the start of each run)
#   fuzz-run/summary.txt  the table printed at the end
# A target without a seed writer starts from its dictionary alone.
set -eu

if [ "${1:-}" = "--one" ]; then
  # One target, started by the pool below: --one BUILD TARGET SOURCE_TREE
  build=$2 target=$3 source=$4
  out=$build/fuzz-run/$target
  rm -rf "$out"
  mkdir -p "$out" "$build/fuzz-corpus/$target" "$build/fuzz-seeds/$target"
  dict=""
  [ -f "$source/fuzz/$target.dict" ] && dict="-dict=$source/fuzz/$target.dict"
  status=0
  # shellcheck disable=SC2086 # $dict is one word or none
  "$build/fuzz/$target" -max_total_time="$(awk "BEGIN { printf \"%d\", $MINUTES * 60 }")" \
    -print_final_stats=1 \
    -timeout=25 -rss_limit_mb=2048 -artifact_prefix="$out/" $dict \
    "$build/fuzz-corpus/$target" "$build/fuzz-seeds/$target" >"$out/log.txt" 2>&1 || status=$?
  echo "$status" >"$out/status"
  echo "fuzz-run: $target finished (status $status)"
  exit 0
fi

build=${1:-build-fuzz}
MINUTES=${MINUTES:-10}
PARALLEL=${PARALLEL:-2}
export MINUTES
source=$(cd "$(dirname "$0")/.." && pwd)

targets=${TARGETS:-$(find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x \
  -printf '%f\n' | sort)}
# shellcheck disable=SC2086 # one target a line, for xargs
targets=$(printf '%s\n' $targets)
if [ -z "$targets" ]; then
  echo "fuzz-run: no fuzz targets in $build/fuzz (run make fuzz first)" >&2
  exit 1
fi

# shellcheck disable=SC2086 # one target name per word
"$build/fuzz/kivo_make_corpus" "$build/fuzz-seeds" "$source" $targets

count=$(echo "$targets" | wc -l)
echo "fuzz-run: $count targets, $MINUTES minute(s) each, $PARALLEL at a time"
echo "$targets" | xargs -P "$PARALLEL" -I '{}' sh "$0" --one "$build" '{}' "$source"

# libFuzzer's status lines read "#RUNS <event> cov: E ft: F corp: N/SIZE ..."; the INITED line
# gives the coverage of the seeds alone, the last line the coverage at the end.
field() { # field NAME LINE
  echo "$2" | sed -n "s/.* $1: \([^ ]*\).*/\1/p"
}

summary=$build/fuzz-run/summary.txt
{
  printf '%-24s %12s %15s %8s %14s %s\n' target runs 'cov start>end' ft corpus crashes
  for target in $targets; do
    out=$build/fuzz-run/$target
    log=$out/log.txt
    runs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log" | tail -n 1)
    if [ -z "$runs" ]; then
      runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
    fi
    inited=$(grep 'INITED cov: ' "$log" | tail -n 1 || true)
    last=$(grep '^#[0-9].* cov: ' "$log" | tail -n 1 || true)
    coverage="$(field cov "$inited")>$(field cov "$last")"
    crashes=$(find "$out" -maxdepth 1 -type f \
      \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
    crashCount=$(echo "$crashes" | grep -c . || true)
    printf '%-24s %12s %15s %8s %14s %s\n' "$target" "${runs:-?}" "$coverage" \
      "$(field ft "$last")" "$(field corp "$last")" "$crashCount"
    for crash in $crashes; do
      printf '    reproduce: %s %s\n' "$build/fuzz/$target" "$crash"
    done
    # Inputs that took over ten seconds are not failures, but worth a look.
    for slow in $(find "$out" -maxdepth 1 -type f -name 'slow-unit-*' | sort); do
      printf '    slow input: %s\n' "$slow"
    done
    if [ "$crashCount" -eq 0 ] && [ "$(cat "$out/status")" != 0 ]; then
      printf '    stopped with status %s: see %s\n' "$(cat "$out/status")" "$log"
    fi
  done
} | tee "$summary"
echo "fuzz-run: table in $summary; new corpus entries in $build/fuzz-corpus/"
